#include "runtime/version_pattern.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

struct PatternCase {
  std::wstring name;
  bool matches;
};

void expectAll(const std::vector<PatternCase>& cases) {
  for (const auto& c : cases) {
    std::wstring shown;
    for (wchar_t unit : c.name) shown += unit < 0x20 ? L'?' : unit;
    EXPECT_EQ(matchesVersionPattern(c.name), c.matches) << "name: " << shown << " (" << c.name.size() << " units)";
  }
}

TEST(VersionPattern, MatchesAtALineStartSixAndOneMoreUnit) {
  expectAll({
      // Runtime versions: only major version 6.
      {L"6.0.0", true},
      {L"6.0.25", true},
      {L"6.0.36", true},
      {L"6.0.0-preview.7.21377.19", true},
      {L"5.0.17", false},
      {L"7.0.5", false},
      {L"8.0.0", false},
      {L"16.0.1", false},
      {L"26.0", false},
      // The dot is any unit, not a full stop.
      {L"60.1", true},
      {L"6x", true},
      {L"66", true},
      {L"6 ", true},
      {L"6\t", true},
      {std::wstring(L"6\0", 2), true},
      {L"6\u2028", true},
      {L"6\u00e9", true},
      // One more unit is needed, and it must end no line.
      {L"", false},
      {L"6", false},
      {L"6\n", false},
      {L"6\r", false},
      {L"6\r\n", false},
      {L".6", false},
      {L" 6.0.25", false},
      {L"v6.0.25", false},
      // A line starts after a line feed only.
      {L"5.0\n6.0", true},
      {L"\n6.", true},
      {L"x\n\n6.0", true},
      {L"5.0\r6.0", false},  // a carriage return starts no line here
      {L"5.0\n6", false},
      {L"5.0\n6\n", false},
      {L"5.0\n 6.0", false},
      {L"5.0 6.0", false},
  });
}

TEST(RuleVersions, CountTheRulesMajorAtOrAboveItsLowest) {
  struct Case {
    const char* rule;
    std::wstring name;
    bool counts;
  };
  const Case cases[] = {
      // The standard rule keeps the historical pattern, corners included.
      {"desktop+base:6", L"6.0.25", true},
      {"desktop+base:6", L"60.1", true},
      {"desktop+base:6", L"6", false},
      {"desktop+base:6", L"16.0.1", false},
      // Any other rule reads the name as a version of its major.
      {"desktop:10", L"10.0.3", true},
      {"desktop:10", L"10.0.0-rc.1.25451.107", true},
      {"desktop:10", L"10", true},
      {"desktop:10", L"6.0.25", false},
      {"desktop:10", L"100.0.1", false},
      {"desktop:10", L"1.0.10", false},
      {"desktop:10", L"10.0.x", false},
      {"desktop:10", L"v10.0.1", false},
      {"desktop:10", L" 10.0.1", false},
      {"desktop:10", L"", false},
      {"desktop:10", L"10.0.3\u00e9", false},
      {"desktop:6", L"60.1", false},
      {"desktop:6", L"6.0.36", true},
      {"base:8", L"8.0.11", true},
      // A lowest version is compared number by number.
      {"desktop:10.0.9", L"10.0.9", true},
      {"desktop:10.0.9", L"10.0.10", true},
      {"desktop:10.0.9", L"10.1.0", true},
      {"desktop:10.0.9", L"10.0.8", false},
      {"desktop:10.0.9", L"10.0.9-rc.1", false},
      {"desktop:10.0.9", L"11.0.0", false},
      {"desktop+base:6.0.30", L"6.0.25", false},
      {"desktop+base:6.0.30", L"6.0.36", true},
      // An exact rule: that version alone.
      {"desktop:=10.0.0", L"10.0.0", true},
      {"desktop:=10.0.0", L"10.0.15", false},
      {"desktop:=10.0.0", L"10.0.0-rc.1", false},
      {"desktop:=10.0.0", L"11.0.0", false},
      {"desktop:=10.0.15", L"10.0.0", false},
      // A rule that reaches later majors: its own from the lowest, or any later one.
      {"desktop:9+", L"9.0.0", true},
      {"desktop:9+", L"10.0.15", true},
      {"desktop:9+", L"100.0.1", true},
      {"desktop:9+", L"8.0.34", false},
      {"desktop:9.0.2+", L"9.0.1", false},
      {"desktop:9.0.2+", L"9.0.2", true},
      {"desktop:9.0.2+", L"10.0.0-rc.1", true},
      {"desktop:9.0.2+", L"v10.0.0", false},
  };
  for (const Case& c : cases) {
    const std::optional<RuntimeRule> rule = parseRuntimeRule(c.rule);
    ASSERT_TRUE(rule) << c.rule;
    EXPECT_EQ(countsForRule(*rule, c.name), c.counts) << c.rule << " / " << std::string(c.name.begin(), c.name.end());
  }
}

}  // namespace
}  // namespace tenvik
