#pragma once
// Which .NET runtime an image asks for: a framework, a major version and
// optionally a lowest version, written as "desktop:10", "base:10.0.2" or
// "desktop+base:6" (the Windows Desktop framework first, the base one as
// fallback); "desktop:=10.0.0" for exactly one version, "desktop:9+" or
// "base:9.0.2+" for that major or any later one. Pure text and comparison;
// the registry is read elsewhere.

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

// Which versions beside the rule's major meet it. The .NET host's
// roll-forward policies need them: Disable binds to the version asked for
// alone, Major and LatestMajor to a later major as well.
enum class RuleReach {
  sameMajor,    // "desktop:10", "desktop:10.0.2": the major, at or above the lowest
  exact,        // "desktop:=10.0.0": the lowest version itself, nothing else
  laterMajors,  // "desktop:9+", "desktop:9.0.2+": as sameMajor, or any later major
};

struct RuntimeRule {
  RuntimeFramework framework = RuntimeFramework::desktop;
  bool baseFallback = false;  // only with desktop: "desktop+base"
  unsigned long major = 6;
  std::optional<RuntimeVersion> lowest;  // its first number equals major; always there for exact
  RuleReach reach = RuleReach::sameMajor;

  // The rule images carry unless told otherwise: .NET 6, Desktop first with
  // the base runtime as fallback, matched by the historical name pattern.
  static RuntimeRule standard();
  bool isStandard() const;
};

inline constexpr std::string_view kStandardRuleText = "desktop+base:6";

// The rule in text, or nothing when it is malformed: an unknown framework, a
// fallback other than "desktop+base", a major of 0 or above 999, a lowest
// version that is not "MAJOR.MINOR.PATCH" in digits, an exact version ("=")
// without all three numbers, "=" and "+" together.
std::optional<RuntimeRule> parseRuntimeRule(std::string_view text);

// True when a runtime of version meets rule by number: its major and at
// least the lowest version, exactly the lowest one for an exact rule, or a
// later major where the rule reaches them. Pre-release labels rank as
// compareRuntimeVersions ranks them. (The standard rule's historical name
// pattern is countsForRule's.)
bool meetsRule(const RuntimeRule& rule, const RuntimeVersion& version);

// The rule as parseRuntimeRule reads it back: "desktop+base:6", "base:10",
// "desktop:10.0.2", "desktop:=10.0.0", "base:9+".
std::string formatRuntimeRule(const RuntimeRule& rule);

// The version as parseRuntimeVersion reads it back: "10.0.2", "10.0.0-rc.1".
std::string formatRuntimeVersion(const RuntimeVersion& version);

// "desktop" or "base".
const char* frameworkWord(RuntimeFramework framework);

// "Microsoft.WindowsDesktop.App" or "Microsoft.NETCore.App".
const char* frameworkName(RuntimeFramework framework);

}  // namespace tenvik
