// Text read from a platform call that reports the size it needs (GetTempPathW
// and kin), over scripted answers. Input: the initial capacity in decimal,
// then one answer per call: 't' and a length n answers like the platform for
// a text of n units (the text when it fits with its terminator, else n + 1),
// 'r' and a number returns that number and writes nothing, 'f' fails; other
// bytes are skipped. When the script runs out the call fails.
//
// Checked: every call is handed a capacity of 1 to 32768 units, all of them
// writable; a few calls at most; the text comes back exactly when the last
// call answered a length below its capacity, and it is then exactly what that
// call wrote; otherwise the result is empty.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "system/sized_text.h"

namespace {

constexpr unsigned long kMaxCapacity = 32768;

wchar_t unitOf(std::size_t call, std::size_t i) { return static_cast<wchar_t>(L'A' + (call * 7 + i) % 26); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tenvik::fuzz::InputReader input(tenvik::fuzz::bytesOf(data, size));
  const std::uint64_t asked = input.number();
  const unsigned long initialCapacity = asked > ULONG_MAX ? ULONG_MAX : static_cast<unsigned long>(asked);

  std::size_t calls = 0;
  unsigned long lastCapacity = 0;
  unsigned long lastAnswer = 0;
  std::wstring lastText;  // what the last call left for the caller to take
  const auto query = [&](unsigned long capacity, wchar_t* buffer) -> unsigned long {
    ++calls;
    FUZZ_REQUIRE(calls <= 8);
    FUZZ_REQUIRE(capacity >= 1 && capacity <= kMaxCapacity);
    std::fill(buffer, buffer + capacity, static_cast<wchar_t>(0xFFFD));
    lastCapacity = capacity;
    lastText.clear();
    unsigned char op = 0;
    while (!input.empty() && op != 't' && op != 'r' && op != 'f') op = input.byte();
    if (op == 't') {
      const std::uint64_t n = std::min<std::uint64_t>(input.number(), 1u << 20);
      if (n + 1 <= capacity) {
        for (std::size_t i = 0; i < n; ++i) lastText += unitOf(calls, i);
        std::copy(lastText.begin(), lastText.end(), buffer);
        buffer[n] = L'\0';
        lastAnswer = static_cast<unsigned long>(n);
      } else {
        lastAnswer = static_cast<unsigned long>(n + 1);
      }
    } else if (op == 'r') {
      const std::uint64_t k = input.number();
      lastAnswer = k > ULONG_MAX ? ULONG_MAX : static_cast<unsigned long>(k);
      lastText.assign(buffer, std::min<unsigned long>(lastAnswer, capacity));
    } else {
      lastAnswer = 0;
    }
    return lastAnswer;
  };

  const std::wstring text = tenvik::readSizedText(query, initialCapacity);
  FUZZ_REQUIRE(calls >= 1);
  const bool answered = lastAnswer != 0 && lastAnswer < lastCapacity;
  if (answered) {
    FUZZ_REQUIRE(text.size() == lastAnswer);
    FUZZ_REQUIRE(text == lastText.substr(0, lastAnswer));
  } else {
    FUZZ_REQUIRE(text.empty());
  }
  return 0;
}
