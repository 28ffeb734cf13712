#pragma once
// Which .NET runtime an image asks for: a framework, a major version and
// optionally a lowest version, written as "desktop:10", "base:10.0.2" or
// "desktop+base:6" (the Windows Desktop framework first, the base one as
// fallback). Pure text and comparison; the registry is read elsewhere.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tenvik {

enum class RuntimeFramework { desktop, base };

// A runtime version as the registry names it: numeric components compared
// as numbers ("10.0.10" is above "10.0.9"), then an optional pre-release
// label after "-", which ranks below the release it precedes.
struct RuntimeVersion {
  std::vector<unsigned long> numbers;  // at least one
  std::string prerelease;              // without the "-"; empty for a release
};

// The version in text, or nothing when it does not start with a number or a
// component is not made of digits ("10.0.3", "10.0.0-rc.1.25451.107" read;
// "10..1", "v10", "10.0.x" do not). Components beyond the third are kept.
std::optional<RuntimeVersion> parseRuntimeVersion(std::string_view text);

// Negative, zero or positive as a ranks below, equal to or above b. Missing
// components count as 0, so "10.0" equals "10.0.0".
int compareRuntimeVersions(const RuntimeVersion& a, const RuntimeVersion& b);

struct RuntimeRule {
  RuntimeFramework framework = RuntimeFramework::desktop;
  bool baseFallback = false;  // only with desktop: "desktop+base"
  unsigned long major = 6;
  std::optional<RuntimeVersion> lowest;  // its first number equals major

  // The rule images carry unless told otherwise: .NET 6, Desktop first with
  // the base runtime as fallback, matched by the historical name pattern.
  static RuntimeRule standard();
  bool isStandard() const;
};

inline constexpr std::string_view kStandardRuleText = "desktop+base:6";

// The rule in text, or nothing when it is malformed: an unknown framework, a
// fallback other than "desktop+base", a major of 0 or above 999, a lowest
// version that is not "MAJOR.MINOR[.PATCH]" in digits.
std::optional<RuntimeRule> parseRuntimeRule(std::string_view text);

// The rule as parseRuntimeRule reads it back: "desktop+base:6", "base:10",
// "desktop:10.0.2".
std::string formatRuntimeRule(const RuntimeRule& rule);

// "desktop" or "base".
const char* frameworkWord(RuntimeFramework framework);

// "Microsoft.WindowsDesktop.App" or "Microsoft.NETCore.App".
const char* frameworkName(RuntimeFramework framework);

}  // namespace tenvik
