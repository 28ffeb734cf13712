// The Content-Length judgement and the decimal reading under it. The first
// input byte says how the header query went ('p' present, 'a' absent, 'u'
// unreadable; other bytes by their value), the rest is the header's text as
// UTF-8. Checked against a reading of the text written out here on its own
// (blanks, one sign, digits, compared as digit strings, never as numbers that
// could wrap): a length is declared exactly when the text holds a value in
// 0..kMaxDownloadBytes, and then it is that value; absent means until close;
// unreadable is invalid whatever the text.

#include <algorithm>
#include <cstdint>
#include <string>

#include "download/content_length.h"
#include "download/decimal_text.h"
#include "fuzz_support.h"

namespace {

using tenvik::ExpectedLength;
using tenvik::LengthHeader;

struct Reading {
  bool hasDigits = false;
  bool negative = false;
  std::wstring digits;  // without leading zeros; empty for zero
};

Reading read(const std::wstring& text) {
  Reading r;
  std::size_t at = text.find_first_not_of(L" \t\n\v\f\r");
  if (at == std::wstring::npos) return r;
  if (text[at] == L'+' || text[at] == L'-') r.negative = text[at++] == L'-';
  const std::size_t end = std::min(text.find_first_not_of(L"0123456789", at), text.size());
  r.hasDigits = end > at;
  const std::wstring all = text.substr(at, end - at);
  const std::size_t significant = all.find_first_not_of(L'0');
  if (significant != std::wstring::npos) r.digits = all.substr(significant);
  return r;
}

// a <= b for digit strings without leading zeros.
bool notAbove(const std::wstring& a, const std::wstring& b) {
  return a.size() != b.size() ? a.size() < b.size() : a <= b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const LengthHeader header = data[0] == 'p'   ? LengthHeader::present
                              : data[0] == 'a' ? LengthHeader::absent
                              : data[0] == 'u' ? LengthHeader::unreadable
                                               : static_cast<LengthHeader>(data[0] % 3);
  const std::wstring text = tenvik::fuzz::wideFromBytes(tenvik::fuzz::bytesOf(data + 1, size - 1));
  const ExpectedLength length = tenvik::judgeContentLength(header, text);
  const Reading reading = read(text);

  const tenvik::LeadingDecimal decimal = tenvik::parseLeadingDecimal(text);
  FUZZ_REQUIRE(decimal.hasDigits == reading.hasDigits);
  const bool huge = !notAbove(reading.digits, std::to_wstring(std::int64_t{1} << 40));
  FUZZ_REQUIRE(decimal.overflow == huge);
  if (!huge) {
    const std::int64_t magnitude =
        reading.digits.empty() ? 0 : std::stoll(std::string(reading.digits.begin(), reading.digits.end()));
    FUZZ_REQUIRE(decimal.value == (reading.negative ? -magnitude : magnitude));
  }

  if (header == LengthHeader::absent) {
    FUZZ_REQUIRE(length.kind == ExpectedLength::untilClose);
    return 0;
  }
  const bool declarable = header == LengthHeader::present && reading.hasDigits &&
                          (reading.digits.empty() || !reading.negative) &&
                          notAbove(reading.digits, std::to_wstring(tenvik::kMaxDownloadBytes));
  FUZZ_REQUIRE(length.kind == (declarable ? ExpectedLength::declared : ExpectedLength::invalid));
  if (declarable) {
    FUZZ_REQUIRE(std::to_wstring(length.bytes) == (reading.digits.empty() ? L"0" : reading.digits));
  }
  return 0;
}
