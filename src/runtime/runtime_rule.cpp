#include "runtime/runtime_rule.h"

#include <algorithm>
#include <utility>

namespace tenvik {
namespace {

constexpr unsigned long kHighestMajor = 999;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A run of digits as a number; nothing for an empty run or one too long to
// be a version component.
std::optional<unsigned long> parseNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  unsigned long value = 0;
  for (char c : digits) {
    if (!isDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  return value;
}

std::optional<RuntimeFramework> parseFramework(std::string_view word) {
  if (word == "desktop") return RuntimeFramework::desktop;
  if (word == "base") return RuntimeFramework::base;
  return std::nullopt;
}

}  // namespace

std::optional<RuntimeVersion> parseRuntimeVersion(std::string_view text) {
  RuntimeVersion version;
  const std::size_t dash = text.find('-');
  std::string_view numbers = text.substr(0, dash);
  if (dash != std::string_view::npos) {
    version.prerelease = std::string(text.substr(dash + 1));
    if (version.prerelease.empty()) return std::nullopt;
  }
  while (true) {
    const std::size_t dot = numbers.find('.');
    const std::optional<unsigned long> number = parseNumber(numbers.substr(0, dot));
    if (!number) return std::nullopt;
    version.numbers.push_back(*number);
    if (dot == std::string_view::npos) break;
    numbers.remove_prefix(dot + 1);
  }
  return version;
}

int compareRuntimeVersions(const RuntimeVersion& a, const RuntimeVersion& b) {
  const std::size_t count = std::max(a.numbers.size(), b.numbers.size());
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned long left = i < a.numbers.size() ? a.numbers[i] : 0;
    const unsigned long right = i < b.numbers.size() ? b.numbers[i] : 0;
    if (left != right) return left < right ? -1 : 1;
  }
  if (a.prerelease.empty() != b.prerelease.empty()) return a.prerelease.empty() ? 1 : -1;
  return a.prerelease.compare(b.prerelease) < 0 ? -1 : (a.prerelease == b.prerelease ? 0 : 1);
}

RuntimeRule RuntimeRule::standard() {
  RuntimeRule rule;
  rule.framework = RuntimeFramework::desktop;
  rule.baseFallback = true;
  rule.major = 6;
  return rule;
}

bool RuntimeRule::isStandard() const {
  return framework == RuntimeFramework::desktop && baseFallback && major == 6 && !lowest &&
         reach == RuleReach::sameMajor;
}

std::optional<RuntimeRule> parseRuntimeRule(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view frameworks = text.substr(0, colon);
  std::string_view version = text.substr(colon + 1);

  RuntimeRule rule;
  const std::size_t plus = frameworks.find('+');
  if (plus != std::string_view::npos) {
    if (frameworks.substr(0, plus) != "desktop" || frameworks.substr(plus + 1) != "base") return std::nullopt;
    rule.framework = RuntimeFramework::desktop;
    rule.baseFallback = true;
  } else {
    const std::optional<RuntimeFramework> framework = parseFramework(frameworks);
    if (!framework) return std::nullopt;
    rule.framework = *framework;
  }

  // One mark at most, and only at its place: the number after it refuses
  // a second one.
  if (!version.empty() && version.front() == '=') {
    rule.reach = RuleReach::exact;
    version.remove_prefix(1);
  } else if (!version.empty() && version.back() == '+') {
    rule.reach = RuleReach::laterMajors;
    version.remove_suffix(1);
  }
  if (version.find('-') != std::string_view::npos) return std::nullopt;
  std::optional<RuntimeVersion> parsed = parseRuntimeVersion(version);
  if (!parsed || parsed->numbers.size() > 3) return std::nullopt;
  rule.major = parsed->numbers.front();
  if (rule.major == 0 || rule.major > kHighestMajor) return std::nullopt;
  if (parsed->numbers.size() == 2) return std::nullopt;  // "10.0" names no lowest patch
  if (parsed->numbers.size() == 3) {
    rule.lowest = std::move(parsed);
  } else if (rule.reach == RuleReach::exact) {
    return std::nullopt;  // "=10" would be any 10.x, not one version
  }
  return rule;
}

bool meetsRule(const RuntimeRule& rule, const RuntimeVersion& version) {
  if (rule.reach == RuleReach::exact) return rule.lowest && compareRuntimeVersions(version, *rule.lowest) == 0;
  const unsigned long major = version.numbers.front();
  if (rule.reach == RuleReach::laterMajors && major > rule.major) return true;
  return major == rule.major && (!rule.lowest || compareRuntimeVersions(version, *rule.lowest) >= 0);
}

const char* frameworkWord(RuntimeFramework framework) {
  return framework == RuntimeFramework::desktop ? "desktop" : "base";
}

const char* frameworkName(RuntimeFramework framework) {
  return framework == RuntimeFramework::desktop ? "Microsoft.WindowsDesktop.App" : "Microsoft.NETCore.App";
}

}  // namespace tenvik
