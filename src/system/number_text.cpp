#include "system/number_text.h"

namespace tenvik {

std::wstring decimalText(uint64_t value) {
  wchar_t digits[20];  // 2^64 has 20 digits
  wchar_t* const end = digits + 20;
  wchar_t* first = end;
  do {
    *--first = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::wstring(first, end);
}

}  // namespace tenvik
