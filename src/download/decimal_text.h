#pragma once
// Decimal numbers in text. Reading is the one way this downloader takes
// numbers out of text (a port in a URL, a Content-Length value): leading
// white space, at most one sign, then digits up to the first character that
// is not one. Writing is the one way the program puts a number into text.

#include <cstdint>
#include <string>
#include <string_view>

namespace tenvik {

struct LeadingDecimal {
  bool hasDigits = false;  // false: the text held no number at all; value is 0
  bool overflow = false;   // more digits than any sane value; value is then meaningless
  int64_t value = 0;
};

LeadingDecimal parseLeadingDecimal(std::wstring_view text);

// value in decimal digits, without sign or separators. Written by hand:
// std::to_wstring would bring the C runtime's whole wide printf formatter
// into the program.
std::wstring decimalText(uint64_t value);

}  // namespace tenvik
