#include "download/decimal_text.h"

namespace tenvik {
namespace {

bool isBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// Far above any port or length we accept, far below what int64_t holds, so
// the accumulation below can never overflow.
constexpr int64_t kMagnitudeLimit = int64_t{1} << 40;

}  // namespace

LeadingDecimal parseLeadingDecimal(std::wstring_view text) {
  LeadingDecimal result;
  size_t at = 0;
  while (at < text.size() && isBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) {
    negative = text[at] == L'-';
    ++at;
  }
  int64_t magnitude = 0;
  for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
    result.hasDigits = true;
    if (result.overflow) continue;
    magnitude = magnitude * 10 + (text[at] - L'0');
    if (magnitude > kMagnitudeLimit) result.overflow = true;
  }
  result.value = negative ? -magnitude : magnitude;
  return result;
}

}  // namespace tenvik
