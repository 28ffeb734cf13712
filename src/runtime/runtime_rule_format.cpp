// Writing a rule is for the build tools and the tests; kept apart from the
// reading, so the program, which only reads, does not carry it (nor the
// number formatting it brings along).
#include "runtime/runtime_rule.h"

namespace tenvik {

std::string formatRuntimeRule(const RuntimeRule& rule) {
  std::string text = frameworkWord(rule.framework);
  if (rule.baseFallback) text += "+base";
  text += ':';
  if (!rule.lowest) return text + std::to_string(rule.major);
  for (std::size_t i = 0; i < rule.lowest->numbers.size(); ++i) {
    if (i > 0) text += '.';
    text += std::to_string(rule.lowest->numbers[i]);
  }
  return text;
}

}  // namespace tenvik
