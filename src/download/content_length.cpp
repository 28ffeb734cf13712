#include "download/content_length.h"

#include "download/decimal_text.h"

namespace tenvik {

ExpectedLength judgeContentLength(LengthHeader header, std::wstring_view text) {
  ExpectedLength length;
  if (header == LengthHeader::absent) {
    length.kind = ExpectedLength::untilClose;
    return length;
  }
  if (header != LengthHeader::present) return length;
  const LeadingDecimal value = parseLeadingDecimal(text);
  if (!value.hasDigits || value.overflow || value.value < 0 || value.value > kMaxDownloadBytes) return length;
  length.kind = ExpectedLength::declared;
  length.bytes = static_cast<uint32_t>(value.value);
  return length;
}

}  // namespace tenvik
