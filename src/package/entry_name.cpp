#include "package/entry_name.h"

#include <array>
#include <cctype>
#include <string>

namespace tenvik {
namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Windows drops trailing dots and blanks from a path component, so "..",
// ". ." and "..." all end up meaning "." or "..", or nothing at all.
bool isOnlyDotsAndBlanks(std::string_view component) {
  return component.find_first_not_of(". ") == std::string_view::npos;
}

bool isDeviceName(std::string_view component) {
  // The device is reached whatever extension follows the stem ("nul.txt"),
  // and trailing blanks of the stem are ignored too.
  std::string_view stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  if (stem.size() < 3 || stem.size() > 5) return false;
  std::string upper;
  for (const char c : stem) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static constexpr std::array<std::string_view, 4> plain = {"CON", "PRN", "AUX", "NUL"};
  for (const auto device : plain) {
    if (upper == device) return true;
  }
  if (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0) return false;
  const std::string_view number = std::string_view(upper).substr(3);
  if (number.size() == 1) return number[0] >= '1' && number[0] <= '9';
  // Windows counts the superscript digits one to three (U+00B9, U+00B2,
  // U+00B3; UTF-8 in the archive) as port numbers too.
  return number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
}

// Characters Windows does not allow in a file name. A quote would also break
// the quoting of the host's parameters when it reaches the launch target.
bool isForbiddenCharacter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || c == ':' || c == '"' || c == '<' || c == '>' || c == '|' || c == '?' || c == '*';
}

}  // namespace

bool isSafeEntryName(std::string_view name) {
  if (name.empty() || isSeparator(name.front())) return false;
  for (const char c : name) {
    if (isForbiddenCharacter(c)) return false;
  }

  size_t start = 0;
  while (true) {
    size_t end = start;
    while (end < name.size() && !isSeparator(name[end])) ++end;
    const std::string_view component = name.substr(start, end - start);
    if (component.empty() || isOnlyDotsAndBlanks(component) || isDeviceName(component)) {
      return false;
    }
    if (end == name.size()) return true;
    start = end + 1;
  }
}

}  // namespace tenvik
