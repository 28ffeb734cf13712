// The response body reader over a scripted connection. Input: the expected
// length ('d' and a decimal count for a declared length, 'c' for until close,
// 'i' for invalid; other first bytes choose by their value), then one byte
// per read the reader makes: 'e' the data ends, 'f' the read fails, 'o' the
// read claims one byte more than it was asked for, 'a' it hands over all it
// was asked for, any other byte hands over that many bytes at most. When the
// script runs out the data ends.
//
// Checked: a read is never asked for nothing, for more than kReadPieceBytes,
// for more than the declared length leaves (until close: more than one byte
// beyond kMaxDownloadBytes), or after the data ended or a read failed; the
// whole destination it names is writable; a body comes back exactly when the
// connection delivered all of a declared length, or ended cleanly without
// one, with nothing failed or over-claimed, and it is then exactly the bytes
// delivered; and nothing is reserved beyond kReserveCapBytes for a length
// that has not arrived.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "download/body_reader.h"
#include "fuzz_support.h"

namespace {

using tenvik::ExpectedLength;

// Keeps one run short: beyond it every read is told the data has ended. Still
// many pieces of kReadPieceBytes, and more than the reserve of a small length.
constexpr std::size_t kDeliveryBudget = 2u << 20;

// What the connection delivers: byte i of the body is pattern()[i], which no
// shifted or repeated piece reproduces.
const std::string& pattern() {
  static const std::string bytes = [] {
    std::string text(kDeliveryBudget + tenvik::kReadPieceBytes + 1, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return text;
  }();
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pattern();  // made before the allocation watch starts
  tenvik::fuzz::InputReader input(tenvik::fuzz::bytesOf(data, size));
  ExpectedLength length;
  const unsigned char kind = input.byte();
  length.kind = kind == 'd'   ? ExpectedLength::declared
                : kind == 'c' ? ExpectedLength::untilClose
                : kind == 'i' ? ExpectedLength::invalid
                              : static_cast<ExpectedLength::Kind>(kind % 3);
  if (length.kind == ExpectedLength::declared) length.bytes = static_cast<std::uint32_t>(input.number());
  const bool declared = length.kind == ExpectedLength::declared;

  std::size_t delivered = 0;
  bool ended = false;
  bool broken = false;  // a failed or over-claiming read
  const auto read = [&](char* destination, std::size_t capacity) {
    FUZZ_REQUIRE(!ended && !broken);
    FUZZ_REQUIRE(capacity > 0 && capacity <= tenvik::kReadPieceBytes);
    if (declared) {
      FUZZ_REQUIRE(capacity <= length.bytes - delivered);
    } else {
      FUZZ_REQUIRE(delivered + capacity <= std::size_t{tenvik::kMaxDownloadBytes} + 1);
    }
    std::memset(destination, 0xA5, capacity);
    const unsigned char op = input.empty() || delivered >= kDeliveryBudget ? 'e' : input.byte();
    switch (op) {
      case 'e':
        ended = true;
        return tenvik::PieceRead{true, 0};
      case 'f':
        broken = true;
        return tenvik::PieceRead{false, 0};
      case 'o':
        broken = true;
        return tenvik::PieceRead{true, capacity + 1};
      default: {
        const std::size_t give = op == 'a' ? capacity : std::min<std::size_t>(capacity, op);
        std::memcpy(destination, pattern().data() + delivered, give);
        delivered += give;
        if (give == 0) ended = true;
        return tenvik::PieceRead{true, give};
      }
    }
  };

  std::optional<std::string> body;
  std::size_t largest = 0;
  {
    tenvik::fuzz::AllocationWatch watch;
    body = tenvik::readBody(length, read);
    largest = watch.largest();
  }

  const bool whole = length.kind != ExpectedLength::invalid && !broken &&
                     (declared ? delivered == length.bytes
                               : ended && delivered <= tenvik::kMaxDownloadBytes);
  FUZZ_REQUIRE(body.has_value() == whole);
  if (body) {
    FUZZ_REQUIRE(body->size() == delivered);
    FUZZ_REQUIRE(pattern().compare(0, delivered, *body) == 0);
  }
  const std::size_t reserved = declared ? std::min<std::size_t>(length.bytes, tenvik::kReserveCapBytes) : 0;
  FUZZ_REQUIRE(largest <= std::max(reserved + 1, 2 * (delivered + tenvik::kReadPieceBytes + 1)) + 4096);
  return 0;
}
