#pragma once
// Builds the package archive and compresses it as it goes into one gzip
// member: deflate at the best level, a header without file name, comment,
// time stamp or system. Only the compressed bytes are held in memory, plus
// whatever entry the caller is adding.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tenvik::packer {

class ArchiveWriter {
 public:
  ArchiveWriter();
  ~ArchiveWriter();
  ArchiveWriter(const ArchiveWriter&) = delete;
  ArchiveWriter& operator=(const ArchiveWriter&) = delete;

  // Appends one entry. name is "/"-separated UTF-8. Throws PackError when
  // the name or the data does not fit a 32-bit length field.
  void add(std::string_view name, std::string_view data);

  // Ends the gzip member and hands over its bytes; the writer is spent.
  std::string finish();

  std::uint64_t archiveSize() const { return archiveSize_; }
  std::size_t entryCount() const { return entryCount_; }

 private:
  void compress(std::string_view bytes, int flush);

  z_stream stream_{};
  gz_header header_{0, 0, 0, 255, nullptr, 0, 0, nullptr, 0, nullptr, 0, 0, 0};  // os 255: unknown
  std::string compressed_;
  std::uint64_t archiveSize_ = 0;
  std::size_t entryCount_ = 0;
  bool finished_ = false;
};

// The four little-endian bytes of a length field.
std::string lengthField(std::uint32_t value);

}  // namespace tenvik::packer
