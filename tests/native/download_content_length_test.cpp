#include "download/content_length.h"

#include <gtest/gtest.h>

#include "download/decimal_text.h"
#include "download/response_status.h"

namespace tenvik {
namespace {

struct LengthCase {
  LengthHeader header;
  const wchar_t* text;
  ExpectedLength::Kind kind;
  uint32_t bytes;
};

TEST(ContentLength, TrustsOnlyASaneDeclaredLength) {
  const LengthCase cases[] = {
      {LengthHeader::present, L"1000", ExpectedLength::declared, 1000},
      {LengthHeader::present, L"0", ExpectedLength::declared, 0},
      {LengthHeader::present, L" \t42", ExpectedLength::declared, 42},
      {LengthHeader::present, L"+7", ExpectedLength::declared, 7},
      {LengthHeader::present, L"12abc", ExpectedLength::declared, 12},
      {LengthHeader::present, L"0012", ExpectedLength::declared, 12},
      {LengthHeader::present, L"1073741824", ExpectedLength::declared, kMaxDownloadBytes},
      {LengthHeader::present, L"1073741825", ExpectedLength::invalid, 0},
      {LengthHeader::present, L"4294967296", ExpectedLength::invalid, 0},  // 0 once cut to 32 bits
      {LengthHeader::present, L"99999999999999999999999999", ExpectedLength::invalid, 0},
      {LengthHeader::present, L"-1", ExpectedLength::invalid, 0},
      {LengthHeader::present, L"-0", ExpectedLength::declared, 0},
      {LengthHeader::present, L"", ExpectedLength::invalid, 0},
      {LengthHeader::present, L"abc", ExpectedLength::invalid, 0},
      {LengthHeader::present, L"--5", ExpectedLength::invalid, 0},
      {LengthHeader::present, L"- 5", ExpectedLength::invalid, 0},
      {LengthHeader::absent, L"", ExpectedLength::untilClose, 0},
      {LengthHeader::unreadable, L"", ExpectedLength::invalid, 0},
      {LengthHeader::unreadable, L"10", ExpectedLength::invalid, 0},  // a failed query's buffer is not read
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "header " << static_cast<int>(c.header) << " text \"" << c.text << "\"");
    const ExpectedLength length = judgeContentLength(c.header, c.text);
    EXPECT_EQ(length.kind, c.kind);
    if (c.kind == ExpectedLength::declared) {
      EXPECT_EQ(length.bytes, c.bytes);
    }
  }
}

TEST(LeadingDecimal, StopsAtTheFirstNonDigit) {
  struct Case {
    const wchar_t* text;
    bool hasDigits;
    bool overflow;
    int64_t value;
  };
  const Case cases[] = {
      {L"", false, false, 0},         {L"  ", false, false, 0},       {L"+", false, false, 0},
      {L"-", false, false, 0},        {L"x1", false, false, 0},       {L"1 2", true, false, 1},
      {L"\r\n\v\f 9", true, false, 9}, {L"-2147483648", true, false, -2147483648LL},
      {L"123456789012345678901234567890", true, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "text \"" << c.text << "\"");
    const LeadingDecimal value = parseLeadingDecimal(c.text);
    EXPECT_EQ(value.hasDigits, c.hasDigits);
    EXPECT_EQ(value.overflow, c.overflow);
    if (!c.overflow) {
      EXPECT_EQ(value.value, c.value);
    }
  }
}

TEST(ResponseStatus, OnlyAFinal200IsADownload) {
  EXPECT_TRUE(isDownloadStatus(true, 200));
  for (const uint32_t status : {0u, 100u, 201u, 204u, 206u, 302u, 304u, 404u, 500u}) {
    EXPECT_FALSE(isDownloadStatus(true, status)) << status;
  }
  EXPECT_FALSE(isDownloadStatus(false, 200));  // a status that could not be read
}

}  // namespace
}  // namespace tenvik
