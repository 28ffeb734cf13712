#include "package/package_archive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace tenvik {
namespace {

std::string le32(std::uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

std::string entry(const std::string& name, const std::string& data) {
  return le32(static_cast<std::uint32_t>(name.size())) + name +
         le32(static_cast<std::uint32_t>(data.size())) + data;
}

struct Extracted {
  std::optional<std::string> launchTarget;
  bool complete = false;
  std::vector<PackageEntry> stored;
};

Extracted extract(const std::string& archive) {
  std::istringstream in(archive);
  Extracted result;
  const ArchiveExtraction extraction =
      extractEntries(in, [&](const PackageEntry& e) { result.stored.push_back(e); });
  result.launchTarget = extraction.launchTarget;
  result.complete = extraction.complete;
  return result;
}

std::vector<std::string> namesOf(const Extracted& result) {
  std::vector<std::string> names;
  for (const auto& e : result.stored) names.push_back(e.name);
  return names;
}

TEST(ReadEntry, KeepsZeroBytesInDataAndInTheName) {
  const std::string data("\0\0zero\0", 7);
  std::istringstream in(entry(std::string("short\0../../evil", 16), data) + entry("after", ""));
  const auto first = readEntry(in);
  ASSERT_TRUE(first);
  // Whole, separators turned: the name check refuses it for its zero byte.
  EXPECT_EQ(first->name, std::string("short\0..\\..\\evil", 16));
  EXPECT_EQ(first->data, data);
  // The full declared name length was consumed, so the next entry lines up.
  const auto second = readEntry(in);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->name, "after");
}

TEST(ReadEntry, ReportsAnEntryCutShortAnywhere) {
  const std::string whole = entry("dir/file.bin", std::string(70000, 'd'));
  // Every field boundary and points inside each field, including inside the
  // data beyond the first read chunk.
  for (const size_t keep : {1u, 3u, 4u, 8u, 16u, 17u, 19u, 20u, 21u, 65000u, 70000u, 70019u}) {
    std::istringstream in(whole.substr(0, keep));
    EXPECT_FALSE(readEntry(in)) << "kept " << keep;
  }
  std::istringstream in(whole);
  EXPECT_TRUE(readEntry(in));
}

TEST(ReadEntry, IntoAReusedEntryLeavesNothingOfTheEarlierOne) {
  std::istringstream in(entry("a/long/name.dll", std::string(70000, 'x')) + entry(std::string("b\0c", 3), "yz") +
                        entry("e", ""));
  PackageEntry reused;
  ASSERT_TRUE(readEntryInto(in, reused));
  ASSERT_TRUE(readEntryInto(in, reused));
  EXPECT_EQ(reused.name, std::string("b\0c", 3));
  EXPECT_EQ(reused.data, "yz");
  ASSERT_TRUE(readEntryInto(in, reused));
  EXPECT_EQ(reused.name, "e");
  EXPECT_EQ(reused.data, "");
  EXPECT_FALSE(readEntryInto(in, reused));
}

TEST(ExtractEntries, StoresEveryEntryInOrderAndNamesTheFirst) {
  const std::string data(300, '\x7f');  // a length that needs more than its low byte
  const auto result = extract(entry("Main.dll", "main") + entry("de/a/Res.dll", data) +
                              entry("empty.txt", "") + entry("Main.dll", "again"));
  ASSERT_TRUE(result.launchTarget);
  EXPECT_EQ(*result.launchTarget, "Main.dll");
  EXPECT_EQ(namesOf(result),
            (std::vector<std::string>{"Main.dll", "de\\a\\Res.dll", "empty.txt", "Main.dll"}));
  EXPECT_EQ(result.stored[1].data, data);
  EXPECT_EQ(result.stored[2].data, "");
  EXPECT_EQ(result.stored[3].data, "again");  // written last, so it wins on disk
}

// Complete: the data ran out exactly after an entry and no name was refused.
TEST(ExtractEntries, CallsTheArchiveCompleteOnlyWhenItEndsAfterAnEntryWithSafeNames) {
  const std::string whole = entry("Main.dll", "main") + entry("lib/b.dll", std::string(70000, 'b'));
  const struct {
    const char* what;
    std::string archive;
    bool complete;
  } cases[] = {
      {"two whole entries", whole, true},
      {"no entries", "", true},
      {"cut in a length field", whole.substr(0, whole.size() - 70002), false},
      {"cut in a name", whole.substr(0, 4 + 8 + 4 + 4 + 6), false},
      {"cut in the data", whole.substr(0, whole.size() - 1), false},
      {"a stray byte after the last entry", whole + "x", false},
      {"an unsafe name later on", whole + entry("../evil", "e"), false},
      {"a quote in the first name", entry("x\" --evil \"y", "x") + entry("Main.dll", "m"), false},
      {"a zero byte in a later name", whole + entry(std::string("c.dll\0", 6), "c"), false},
  };
  for (const auto& c : cases) EXPECT_EQ(extract(c.archive).complete, c.complete) << c.what;
}

TEST(ExtractEntries, EmptyArchiveHasNoLaunchTarget) {
  const auto result = extract("");
  EXPECT_FALSE(result.launchTarget);
  EXPECT_TRUE(result.stored.empty());
}

TEST(ExtractEntries, UnsafeNamesAreSkipped) {
  struct Case {
    std::string archive;
    bool hasLaunchTarget;
    std::vector<std::string> stored;
  };
  const Case cases[] = {
      {entry("../evil.dll", "x") + entry("ok.dll", "y"), false, {"ok.dll"}},
      {entry("C:/evil.dll", "x"), false, {}},
      {entry("/abs", "x") + entry("a/../../b", "z") + entry("fine/c", "c"), false, {"fine\\c"}},
      {entry("Main.dll", "m") + entry("../../x", "x") + entry("\\\\srv\\s", "s") +
           entry("sub/x", "y"),
       true,
       {"Main.dll", "sub\\x"}},
      {entry("", "nameless") + entry("later.dll", "l"), false, {"later.dll"}},
      {entry(std::string("\0hidden", 7), "z") + entry("b", "b"), false, {"b"}},
      // A zero byte anywhere in a name refuses it; nothing is cut off to make
      // it look safe.
      {entry(std::string("Main.dll\0../../evil.dll", 23), "m") + entry("b", "b"), false, {"b"}},
      {entry("Main.dll", "m") + entry(std::string("lib/a.dll\0", 10), "a"), true, {"Main.dll"}},
  };
  for (const auto& c : cases) {
    const auto result = extract(c.archive);
    EXPECT_EQ(result.launchTarget.has_value(), c.hasLaunchTarget);
    EXPECT_EQ(namesOf(result), c.stored);
  }
}

TEST(ExtractEntries, TruncationKeepsWhatCameBeforeAndDropsTheCutEntry) {
  const std::string first = entry("Main.dll", "main");
  const std::string second = entry("second.bin", std::string(5000, 's'));
  // A cut inside the first entry leaves no launch target at all.
  for (size_t cut = 1; cut < first.size(); ++cut) {
    const auto result = extract(first.substr(0, cut));
    EXPECT_FALSE(result.launchTarget) << "cut " << cut;
    EXPECT_TRUE(result.stored.empty()) << "cut " << cut;
  }
  for (size_t cut = 1; cut < second.size(); cut += 7) {
    const auto result = extract(first + second.substr(0, cut));
    ASSERT_TRUE(result.launchTarget) << "cut " << cut;
    EXPECT_EQ(namesOf(result), std::vector<std::string>{"Main.dll"}) << "cut " << cut;
  }
}

TEST(ExtractEntries, HugeDeclaredLengthEndsCleanlyAfterEarlierEntries) {
  const auto result = extract(entry("Main.dll", "m") + le32(5) + "liar." + le32(0xFFFFFFF0) + "x");
  ASSERT_TRUE(result.launchTarget);
  EXPECT_EQ(namesOf(result), std::vector<std::string>{"Main.dll"});
}

TEST(ExtractEntries, StopsOnAStreamThatCannotBeRead) {
  std::istringstream in(entry("Main.dll", "m"));
  in.setstate(std::ios::badbit);
  int stored = 0;
  const ArchiveExtraction extraction = extractEntries(in, [&](const PackageEntry&) { ++stored; });
  EXPECT_FALSE(extraction.launchTarget);
  EXPECT_FALSE(extraction.complete);
  EXPECT_EQ(stored, 0);
}

}  // namespace
}  // namespace tenvik
