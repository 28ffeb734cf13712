#include "system/sized_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace tenvik {
namespace {

// Behaves like GetTempPathW over a list of texts, one per call (the last one
// repeats), so a text can change between the calls. Records each capacity.
struct FakeQuery {
  explicit FakeQuery(std::vector<std::wstring> answers, size_t failingCall = 0)
      : texts(std::move(answers)), failAtCall(failingCall) {}

  std::vector<std::wstring> texts;
  size_t failAtCall;  // 1-based; 0: never
  std::vector<unsigned long> capacities;

  unsigned long operator()(unsigned long capacity, wchar_t* buffer) {
    capacities.push_back(capacity);
    if (failAtCall == capacities.size()) return 0;
    const std::wstring& text = texts[std::min(capacities.size(), texts.size()) - 1];
    if (text.size() + 1 > capacity) return static_cast<unsigned long>(text.size() + 1);
    std::wmemcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<unsigned long>(text.size());
  }
};

std::wstring read(FakeQuery& fake, unsigned long initialCapacity) {
  return readSizedText([&fake](unsigned long capacity, wchar_t* buffer) { return fake(capacity, buffer); },
                       initialCapacity);
}

TEST(SizedText, FitsAtOnceOrGrowsToTheAskedSize) {
  struct Case {
    size_t length;
    std::vector<unsigned long> capacities;
  };
  const Case cases[] = {
      {3, {261}},
      {259, {261}},
      {260, {261}},  // exactly fills the buffer with its terminator
      {261, {261, 262}},
      {400, {261, 401}},
      {32767, {261, 32768}},
  };
  for (const Case& c : cases) {
    FakeQuery fake({std::wstring(c.length - 1, L'a') + L"\\"});
    EXPECT_EQ(read(fake, 261), fake.texts[0]) << "length " << c.length;
    EXPECT_EQ(fake.capacities, c.capacities) << "length " << c.length;
  }
}

TEST(SizedText, FailureGivesEmpty) {
  FakeQuery first({L"C:\\Temp\\"}, 1);
  EXPECT_EQ(read(first, 261), L"");

  FakeQuery second({std::wstring(300, L'a')}, 2);
  EXPECT_EQ(read(second, 261), L"");
  EXPECT_EQ(second.capacities.size(), 2u);
}

TEST(SizedText, TextThatGrowsMeanwhileIsFollowedThenGivenUp) {
  FakeQuery settles({std::wstring(300, L'a'), std::wstring(350, L'b'), std::wstring(320, L'c')});
  EXPECT_EQ(read(settles, 261), std::wstring(320, L'c'));

  std::vector<std::wstring> growing;
  for (size_t length = 300; length < 3000; length += 100) growing.push_back(std::wstring(length, L'g'));
  FakeQuery endless(growing);
  EXPECT_EQ(read(endless, 261), L"");
  EXPECT_LE(endless.capacities.size(), 8u);
}

TEST(SizedText, AnswersThatCannotBeTrustedGiveEmptyWithoutHugeBuffers) {
  unsigned long calls = 0;
  const auto absurd = [&calls](unsigned long, wchar_t*) -> unsigned long {
    ++calls;
    return 0xFFFFFFFFul;
  };
  EXPECT_EQ(readSizedText(absurd, 261), L"");
  EXPECT_EQ(calls, 1u);

  // A length equal to the capacity leaves no room for a terminator.
  std::vector<unsigned long> seen;
  const auto full = [&seen](unsigned long capacity, wchar_t* buffer) -> unsigned long {
    seen.push_back(capacity);
    if (capacity < 12) return capacity;
    std::wmemcpy(buffer, L"C:\\Temp\\", 9);
    return 8;
  };
  EXPECT_EQ(readSizedText(full, 10), L"C:\\Temp\\");
  EXPECT_EQ(seen, (std::vector<unsigned long>{10, 11, 12}));

  FakeQuery zeroStart({L"C:\\T\\"});
  EXPECT_EQ(read(zeroStart, 0), L"C:\\T\\");
}

TEST(SizedText, NeverHandsThePlatformMoreThanTheBound) {
  struct Case {
    unsigned long initialCapacity;
    size_t length;  // of the text, terminator included
    bool found;
    std::vector<unsigned long> capacities;
  };
  const Case cases[] = {
      {32768, 32768, true, {32768}},
      {32769, 32768, true, {32768}},
      {100000, 3, true, {32768}},
      {0xFFFFFFFFul, 32768, true, {32768}},
      // An answer above the bound is refused without another call.
      {0xFFFFFFFFul, 32769, false, {32768}},
      {261, 40000, false, {261}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "initial " << c.initialCapacity << ", length " << c.length);
    FakeQuery fake({std::wstring(c.length - 1, L't')});
    EXPECT_EQ(read(fake, c.initialCapacity), c.found ? fake.texts[0] : L"");
    EXPECT_EQ(fake.capacities, c.capacities);
  }
}

}  // namespace
}  // namespace tenvik
