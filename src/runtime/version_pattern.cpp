#include "runtime/version_pattern.h"

namespace tenvik {

// Written out by hand rather than with std::wregex: the standard libraries
// disagree on the corners of "^6." (libstdc++ lets '^' match after a carriage
// return once multiline is on, and its '.' refuses U+2028 and U+2029), and the
// answer must not change with the library the program is built against.
bool matchesVersionPattern(const std::wstring& name) {
  for (std::wstring::size_type i = 0; i + 1 < name.size(); ++i) {
    const bool lineStart = i == 0 || name[i - 1] == L'\n';
    const wchar_t next = name[i + 1];
    if (lineStart && name[i] == L'6' && next != L'\n' && next != L'\r') return true;
  }
  return false;
}

bool countsForRule(const RuntimeRule& rule, const std::wstring& name) {
  if (rule.isStandard()) return matchesVersionPattern(name);
  std::string text(name.size(), '\0');
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (static_cast<unsigned long>(name[i]) > 0x7e) return false;  // not ASCII: no version
    text[i] = static_cast<char>(name[i]);
  }
  const std::optional<RuntimeVersion> version = parseRuntimeVersion(text);
  return version && meetsRule(rule, *version);
}

}  // namespace tenvik
