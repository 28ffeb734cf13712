#include "download/body_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace tenvik {
namespace {

// Stands in for WinHttpReadData over a connection that holds `data`: each
// call hands over at most what was asked and at most the next entry of
// `delivers` (cycled; empty means no limit), fails on call number `failAt`,
// and can be made to claim more than it was asked.
struct FakeConnection {
  explicit FakeConnection(std::string bytes, std::vector<size_t> pieces = {}, int failingCall = -1,
                          bool claimsTooMuch = false)
      : data(std::move(bytes)), delivers(std::move(pieces)), failAt(failingCall), overclaim(claimsTooMuch) {}

  std::string data;
  std::vector<size_t> delivers;
  int failAt;
  bool overclaim;

  std::vector<size_t> asks;
  size_t sent = 0;

  ReadPiece reader() {
    return [this](char* destination, size_t capacity) {
      const size_t call = asks.size();
      asks.push_back(capacity);
      if (static_cast<int>(call) == failAt) return PieceRead{false, 0};
      if (overclaim) return PieceRead{true, capacity + 1};
      size_t give = std::min(capacity, data.size() - sent);
      if (!delivers.empty()) give = std::min(give, delivers[call % delivers.size()]);
      std::copy_n(data.data() + sent, give, destination);
      sent += give;
      return PieceRead{true, give};
    };
  }
};

std::string pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

ExpectedLength declared(uint32_t bytes) { return {ExpectedLength::declared, bytes}; }
const ExpectedLength kUntilClose{ExpectedLength::untilClose, 0};

struct WholeCase {
  const char* name;
  size_t size;                  // bytes the server sends
  ExpectedLength length;        // what the header said
  std::vector<size_t> delivers;
};

TEST(ReadBody, CollectsTheWholeBodyHoweverItIsHandedOver) {
  const WholeCase cases[] = {
      {"empty, declared", 0, declared(0), {}},
      {"one byte", 1, declared(1), {}},
      {"1000 bytes", 1000, declared(1000), {}},
      {"1001 bytes", 1001, declared(1001), {}},
      {"exactly one piece", kReadPieceBytes, declared(kReadPieceBytes), {}},
      {"one piece and a byte", kReadPieceBytes + 1, declared(kReadPieceBytes + 1), {}},
      {"short reads while more is due", 5000, declared(5000), {7, 1, 1000, 3}},
      {"one byte at a time", 300, declared(300), {1}},
      {"no length, ends with the data", 150000, kUntilClose, {}},
      {"no length, short reads", 4000, kUntilClose, {999, 1}},
      {"no length, nothing", 0, kUntilClose, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeConnection connection(pattern(c.size), c.delivers);
    const std::optional<std::string> body = readBody(c.length, connection.reader());
    ASSERT_TRUE(body.has_value());
    EXPECT_TRUE(*body == connection.data) << "got " << body->size() << " bytes";
    for (const size_t ask : connection.asks) {
      EXPECT_LE(ask, kReadPieceBytes);
      EXPECT_GT(ask, 0u);
    }
  }
}

TEST(ReadBody, NeverAsksBeyondTheDeclaredLength) {
  FakeConnection connection(pattern(3000));  // the server sends more than it declared
  const std::optional<std::string> body = readBody(declared(1001), connection.reader());
  ASSERT_TRUE(body.has_value());
  EXPECT_EQ(*body, connection.data.substr(0, 1001));
  EXPECT_EQ(connection.asks, (std::vector<size_t>{1001}));
  EXPECT_EQ(connection.sent, 1001u);
}

TEST(ReadBody, MakesNoReadForAnEmptyOrInvalidLength) {
  for (const ExpectedLength& length : {declared(0), ExpectedLength{}}) {
    FakeConnection connection(pattern(10));
    readBody(length, connection.reader());
    EXPECT_TRUE(connection.asks.empty()) << "kind " << length.kind;
  }
  FakeConnection connection(pattern(10));
  EXPECT_FALSE(readBody(ExpectedLength{}, connection.reader()).has_value());
}

struct FailureCase {
  const char* name;
  size_t size;
  ExpectedLength length;
  int failAt;
  bool overclaim;
};

TEST(ReadBody, FailsWhenTheBodyDoesNotArriveWhole) {
  const FailureCase cases[] = {
      {"the data ends before the declared length", 4, declared(10), -1, false},
      {"the data ends one byte short", 1000, declared(1001), -1, false},
      {"nothing arrives of a declared body", 0, declared(5), -1, false},
      {"the first read fails", 10, declared(10), 0, false},
      {"a later read fails", 200000, declared(200000), 2, false},
      {"a read fails without a length", 200000, kUntilClose, 1, false},
      {"a read claims more than it was asked", 10, declared(10), -1, true},
      {"a claim beyond the piece without a length", 10, kUntilClose, -1, true},
      {"a huge declared length that never comes", 10, declared(kMaxDownloadBytes), -1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeConnection connection(pattern(c.size), {}, c.failAt, c.overclaim);
    EXPECT_FALSE(readBody(c.length, connection.reader()).has_value());
    EXPECT_LE(connection.asks.size(), 5u);  // it stopped at the fault
  }
}

}  // namespace
}  // namespace tenvik
