#pragma once
// What the Content-Length header of a download response allows us to expect.
// The value is untrusted: nothing is allocated from it beyond a bounded
// reserve, and an impossible value fails the download instead of the process.

#include <cstdint>
#include <string_view>

namespace tenvik {

// More than any runtime installer, and more than a 32-bit process could hold
// twice.
constexpr uint32_t kMaxDownloadBytes = uint32_t{1} << 30;

enum class LengthHeader {
  present,     // the value is in the text
  absent,      // the response has no Content-Length
  unreadable,  // the query failed otherwise (a value too long for the buffer, no response)
};

struct ExpectedLength {
  enum Kind {
    declared,    // exactly `bytes` are due
    untilClose,  // no length given: the body ends with the data
    invalid,     // negative, unparsable, above kMaxDownloadBytes or unreadable
  };
  Kind kind = invalid;
  uint32_t bytes = 0;
};

// text is parsed as leading white space, one sign, digits up to the first
// non-digit ("12abc" declares 12).
ExpectedLength judgeContentLength(LengthHeader header, std::wstring_view text);

}  // namespace tenvik
