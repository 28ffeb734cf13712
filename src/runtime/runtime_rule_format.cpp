// Writing a rule is for the build tools and the tests; kept apart from the
// reading, so the program, which only reads, does not carry it (nor the
// number formatting it brings along).
#include "runtime/runtime_rule.h"

namespace tenvik {

std::string formatRuntimeVersion(const RuntimeVersion& version) {
  std::string text;
  for (std::size_t i = 0; i < version.numbers.size(); ++i) {
    if (i > 0) text += '.';
    text += std::to_string(version.numbers[i]);
  }
  if (!version.prerelease.empty()) text += "-" + version.prerelease;
  return text;
}

std::string formatRuntimeRule(const RuntimeRule& rule) {
  std::string text = frameworkWord(rule.framework);
  if (rule.baseFallback) text += "+base";
  text += ':';
  if (rule.reach == RuleReach::exact) text += '=';
  text += rule.lowest ? formatRuntimeVersion(*rule.lowest) : std::to_string(rule.major);
  if (rule.reach == RuleReach::laterMajors) text += '+';
  return text;
}

}  // namespace tenvik
