#include "download/body_reader.h"

#include <algorithm>
#include <new>

namespace tenvik {

std::optional<std::string> readBody(const ExpectedLength& length, const ReadPiece& read) {
  if (length.kind == ExpectedLength::invalid) return std::nullopt;
  const bool declared = length.kind == ExpectedLength::declared;
  const size_t limit = declared ? length.bytes : kMaxDownloadBytes;
  try {
    std::string body;
    if (declared) body.reserve(std::min<size_t>(length.bytes, kReserveCapBytes));
    while (!declared || body.size() < limit) {
      const size_t offset = body.size();
      // Without a length, one byte beyond the limit is asked for so that an
      // oversized body shows itself instead of being cut off silently.
      const size_t wanted = std::min(kReadPieceBytes, limit - offset + (declared ? 0 : 1));
      body.resize(offset + wanted);
      const PieceRead piece = read(&body[offset], wanted);
      if (!piece.ok || piece.bytes > wanted) return std::nullopt;
      body.resize(offset + piece.bytes);
      if (piece.bytes == 0) {
        if (declared) return std::nullopt;
        break;
      }
      if (body.size() > limit) return std::nullopt;
    }
    return body;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace tenvik
