// Package entry names as the archive stores them (raw bytes). Checked, each
// on its own, against what the header promises a safe name never is: empty,
// rooted (a leading separator), holding a colon, a zero byte, one of
// " < > | ? * or a control character 0x01 to 0x1F, holding an
// empty component (doubled or trailing separator), a component of nothing
// but dots and blanks (so never "." or ".."), a DOS device stem; and, taking
// every component of dots and blanks alone as a step up, a safe name never
// climbs above the directory it is joined to. For names made of
// letters, digits, "-", "_", dots, blanks and separators alone the rule is
// complete: such a name that breaks none of the above is safe.

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "package/entry_name.h"

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

std::vector<std::string> components(std::string_view name) {
  std::vector<std::string> parts(1);
  for (const char c : name) {
    if (isSeparator(c)) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// What Windows makes of a component: trailing dots and blanks go, so a
// component of dots and blanks alone may mean "." or "..", or nothing.
std::string asWindowsSeesIt(std::string component) {
  while (!component.empty() && (component.back() == '.' || component.back() == ' ')) component.pop_back();
  return component;
}

bool mayClimb(const std::string& component) { return component.find_first_not_of(". ") == std::string::npos; }

bool isDeviceStem(const std::string& component) {
  std::string stem = upper(component.substr(0, component.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const devices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* device : devices) {
    if (stem == device) return true;
  }
  if (stem.rfind("COM", 0) != 0 && stem.rfind("LPT", 0) != 0) return false;
  const std::string number = stem.substr(3);
  return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
         number == "\xC2\xB2" || number == "\xC2\xB3";
}

bool isPlainByte(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == ' ' ||
         isSeparator(c);
}

// The characters Windows refuses in a file name, besides the colon and the
// separators.
bool isForbiddenByte(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte < 0x20 || c == '"' || c == '<' || c == '>' || c == '|' || c == '?' || c == '*';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view name = tenvik::fuzz::bytesOf(data, size);
  const bool safe = tenvik::isSafeEntryName(name);

  bool broken = name.empty() || isSeparator(name.front()) || name.find(':') != std::string_view::npos ||
                name.find('\0') != std::string_view::npos;
  for (const char c : name) broken = broken || isForbiddenByte(c);
  int depth = 0;
  bool climbs = false;
  for (const std::string& component : components(name)) {
    const std::string seen = asWindowsSeesIt(component);
    broken = broken || component.empty() || seen.empty() || isDeviceStem(component);
    depth += mayClimb(component) ? -1 : 1;
    climbs = climbs || depth < 0;
  }
  if (safe) {
    FUZZ_REQUIRE(!broken);
    FUZZ_REQUIRE(!climbs);
    for (const std::string& component : components(name)) FUZZ_REQUIRE(component != ".." && component != ".");
  }
  bool plain = true;
  for (const char c : name) plain = plain && isPlainByte(c);
  if (plain && !broken) FUZZ_REQUIRE(safe);
  return 0;
}
