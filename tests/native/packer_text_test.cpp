#include <gtest/gtest.h>

#include "json_writer.h"
#include "version_record.h"

namespace tenvik::packer {
namespace {

TEST(JsonString, EscapesWhatJsonRequiresAndRepairsMalformedUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain/name.dll", "\"plain/name.dll\""},
      {"say \"hi\"\\", "\"say \\\"hi\\\"\\\\\""},
      {"tab\tline\nret\r", "\"tab\\tline\\nret\\r\""},
      {std::string("nul\0one\x01\x1f\x7f", 10), "\"nul\\u0000one\\u0001\\u001f\\u007f\""},
      {"caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80\""},
      {"bad \xe9 \xc0\xaf \xed\xa0\x80", "\"bad \xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},
  };
  for (const auto& [text, literal] : cases) EXPECT_EQ(jsonString(text), literal) << literal;
}

TEST(VersionNumber, TakesFourPartsEachBelow65536) {
  EXPECT_EQ(parseVersionNumber("1.2.3.4"), (VersionNumber{1, 2, 3, 4}));
  EXPECT_EQ(parseVersionNumber("65535.0.0.65535"), (VersionNumber{65535, 0, 0, 65535}));
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.65536", "1..3.4", "1.2.3.", "-1.2.3.4", "1.2.3.4a",
                          " 1.2.3.4", "1.2.3.99999"}) {
    EXPECT_FALSE(parseVersionNumber(bad)) << bad;
  }
}

}  // namespace
}  // namespace tenvik::packer
