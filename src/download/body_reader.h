#pragma once
// Collects a response body from repeated reads of the platform, which may
// hand over fewer bytes than asked for at any time.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "download/content_length.h"

namespace tenvik {

// The most one read asks for: large enough to keep calls few, small enough
// to keep each one short.
constexpr size_t kReadPieceBytes = 64 * 1024;
// The most reserved up front from an untrusted declared length; beyond it the
// body grows only as bytes actually arrive.
constexpr size_t kReserveCapBytes = 64 * 1024 * 1024;

struct PieceRead {
  bool ok = false;   // false: the read failed
  size_t bytes = 0;  // 0 with ok: the data has ended
};

// Reads at most capacity bytes into destination.
using ReadPiece = std::function<PieceRead(char* destination, size_t capacity)>;

// Reads until the declared length has arrived (never asking for more) or,
// without a length, until the data ends. Empty when the length is invalid,
// a read fails, the data ends early, a read claims more than it was asked
// for, the body outgrows kMaxDownloadBytes, or memory runs out.
std::optional<std::string> readBody(const ExpectedLength& length, const ReadPiece& read);

}  // namespace tenvik
