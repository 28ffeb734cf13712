#pragma once
// Decimal numbers read out of text: the one way this downloader takes
// numbers out of text (a port in a URL, a Content-Length value): leading
// white space, at most one sign, then digits up to the first character that
// is not one. Writing numbers is system/number_text.h.

#include <cstdint>
#include <string_view>

namespace tenvik {

struct LeadingDecimal {
  bool hasDigits = false;  // false: the text held no number at all; value is 0
  bool overflow = false;   // more digits than any sane value; value is then meaningless
  int64_t value = 0;
};

LeadingDecimal parseLeadingDecimal(std::wstring_view text);

}  // namespace tenvik
