#include "archive_writer.h"

#include <algorithm>
#include <limits>

#include "pack_error.h"

namespace tenvik::packer {
namespace {

constexpr int gzipWindowBits = 15 + 16;  // 32 KiB window, gzip wrapper
constexpr int defaultMemLevel = 8;
constexpr std::size_t outputChunk = 256 * 1024;
// zlib counts input in uInt; larger spans are fed in pieces.
constexpr std::size_t inputChunk = 1u << 30;

std::uint32_t checkedLength(std::size_t size, const char* what, std::string_view name) {
  if (size > std::numeric_limits<std::uint32_t>::max()) {
    throw PackError(std::string(what) + " of \"" + std::string(name.substr(0, 200)) +
                    "\" does not fit the archive's 32-bit length field");
  }
  return static_cast<std::uint32_t>(size);
}

}  // namespace

std::string lengthField(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

ArchiveWriter::ArchiveWriter() {
  if (deflateInit2(&stream_, Z_BEST_COMPRESSION, Z_DEFLATED, gzipWindowBits, defaultMemLevel,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw PackError("zlib could not start a gzip member");
  }
  // zlib writes the build machine's system into the header (3 on Unix, 10 on
  // Windows); "unknown" keeps a folder's payload the same wherever it is packed.
  if (deflateSetHeader(&stream_, &header_) != Z_OK) {
    deflateEnd(&stream_);
    throw PackError("zlib could not start a gzip member");
  }
}

ArchiveWriter::~ArchiveWriter() { deflateEnd(&stream_); }

void ArchiveWriter::add(std::string_view name, std::string_view data) {
  const std::uint32_t nameLength = checkedLength(name.size(), "The name", name);
  const std::uint32_t dataLength = checkedLength(data.size(), "The size", name);
  compress(lengthField(nameLength), Z_NO_FLUSH);
  compress(name, Z_NO_FLUSH);
  compress(lengthField(dataLength), Z_NO_FLUSH);
  compress(data, Z_NO_FLUSH);
  archiveSize_ += 8 + std::uint64_t{nameLength} + dataLength;
  ++entryCount_;
}

std::string ArchiveWriter::finish() {
  compress(std::string_view(), Z_FINISH);
  finished_ = true;
  return std::move(compressed_);
}

void ArchiveWriter::compress(std::string_view bytes, int flush) {
  if (finished_) throw PackError("the archive was already finished");
  if (bytes.empty() && flush == Z_NO_FLUSH) return;
  do {
    const std::size_t piece = std::min(bytes.size(), inputChunk);
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream_.avail_in = static_cast<uInt>(piece);
    const int pieceFlush = piece == bytes.size() ? flush : Z_NO_FLUSH;
    int result = Z_OK;
    do {
      const std::size_t have = compressed_.size();
      compressed_.resize(have + outputChunk);
      stream_.next_out = reinterpret_cast<Bytef*>(&compressed_[have]);
      stream_.avail_out = static_cast<uInt>(outputChunk);
      result = deflate(&stream_, pieceFlush);
      compressed_.resize(have + outputChunk - stream_.avail_out);
      if (result == Z_STREAM_ERROR || (result == Z_BUF_ERROR && stream_.avail_out != 0)) {
        throw PackError("zlib failed while compressing");
      }
    } while (stream_.avail_out == 0 || (pieceFlush == Z_FINISH && result != Z_STREAM_END));
    bytes.remove_prefix(piece);
  } while (!bytes.empty());
}

}  // namespace tenvik::packer
