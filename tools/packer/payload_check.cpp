#include "payload_check.h"

#include <zlib.h>

#include <algorithm>
#include <istream>
#include <streambuf>

#include "bitmap_container.h"
#include "byte_order.h"
#include "package/entry_name.h"
#include "package/payload_container.h"
#include "utf_text.h"

namespace tenvik::packer {
namespace {

constexpr std::size_t inflateChunk = 64 * 1024;

// The decompressed bytes of one gzip member held in memory, as a stream, so
// that the bootstrapper's entry reader can read them. Unlike zlib's gz file
// interface it tells why the data ended: the member's end with a good
// trailer, damage, or input that ran out.
class InflateBuffer : public std::streambuf {
 public:
  explicit InflateBuffer(std::string_view member) {
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(member.data()));
    stream_.avail_in = static_cast<uInt>(member.size());
    started_ = inflateInit2(&stream_, 15 + 16) == Z_OK;  // gzip wrapper only
    if (!started_) problem_ = "zlib could not start inflating";
  }
  ~InflateBuffer() override {
    if (started_) inflateEnd(&stream_);
  }
  InflateBuffer(const InflateBuffer&) = delete;
  InflateBuffer& operator=(const InflateBuffer&) = delete;

  bool ended() const { return ended_; }
  const std::string& problem() const { return problem_; }
  std::uint64_t produced() const { return produced_; }
  std::size_t leftOver() const { return stream_.avail_in; }

  // Inflates whatever the reader did not take, so the trailer gets checked.
  void drain() {
    while (underflow() != traits_type::eof()) setg(buffer_, buffer_ + inflateChunk, buffer_ + inflateChunk);
  }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    // A call may consume input (a header, an empty block) and produce
    // nothing; go on until there are bytes or the member has ended.
    while (started_ && !ended_ && problem_.empty()) {
      stream_.next_out = reinterpret_cast<Bytef*>(buffer_);
      stream_.avail_out = inflateChunk;
      const uInt before = stream_.avail_in;
      const int status = inflate(&stream_, Z_NO_FLUSH);
      const std::size_t got = inflateChunk - stream_.avail_out;
      produced_ += got;
      if (status == Z_STREAM_END) {
        ended_ = true;
      } else if (status == Z_DATA_ERROR) {
        problem_ = damageText(stream_.msg ? stream_.msg : "invalid data");
      } else if (status == Z_BUF_ERROR || (got == 0 && stream_.avail_in == before)) {
        problem_ = "the gzip member is cut short: the data ends before the member does";
      } else if (status != Z_OK) {
        problem_ = "zlib failed while inflating (status " + std::to_string(status) + ")";
      }
      if (got != 0) {
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(*gptr());
      }
    }
    return traits_type::eof();
  }

  static std::string damageText(const std::string& why) {
    if (why == "incorrect data check") return "the gzip trailer's CRC-32 does not match the data";
    if (why == "incorrect length check") return "the gzip trailer's length does not match the data";
    return "the compressed data is damaged (zlib: " + why + ")";
  }

 private:
  z_stream stream_{};
  bool started_ = false;
  bool ended_ = false;
  std::string problem_;
  std::uint64_t produced_ = 0;
  char buffer_[inflateChunk];
};

std::string displayName(const std::string& extractedName) {
  std::string name = sanitisedUtf8(extractedName);
  std::replace(name.begin(), name.end(), '\\', '/');
  // A zero byte is shown as \0, which no other name displays (backslashes
  // are shown as "/"), so that messages carried as C strings keep the rest.
  std::string shown;
  for (const char c : name) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
  return shown;
}

}  // namespace

PayloadReport checkPayloadResource(std::string_view resource,
                                   const std::function<void(const PackageEntry&)>& onEntry) {
  PayloadReport report;
  report.resourceSize = resource.size();
  const auto damaged = [&](std::string message) {
    report.verdict = PayloadVerdict::damaged;
    report.message = std::move(message);
    return report;
  };
  if (resource.size() < payloadOffset) {
    return damaged("the payload resource is " + std::to_string(resource.size()) +
                   " bytes long, too short for its header and length field");
  }
  const auto payload = decodePayload(resource);
  if (!payload) {
    return damaged("the length field (" + std::to_string(read32(resource, payloadLengthOffset)) +
                   " bytes) points past the end of the pixel area (" +
                   std::to_string(resource.size() - payloadOffset) + " bytes after it)");
  }
  report.compressedSize = payload->size();
  if (payload->empty()) return damaged("the payload is empty: the length field is 0");
  if (payload->size() < 3 || payload->substr(0, 3) != "\x1f\x8b\x08") {
    return damaged("the payload is not a gzip member (it does not begin with 1F 8B 08)");
  }
  // zlib counts its input in 32-bit units; a payload is at most 4 GiB anyway.
  InflateBuffer buffer(*payload);
  std::istream archive(&buffer);
  std::string cutShort;
  while (archive.peek() != std::istream::traits_type::eof()) {
    const auto entry = readEntry(archive);
    if (!entry) {
      cutShort = "the archive ends inside entry " + std::to_string(report.entries.size() + 1) +
                 " (after " + std::to_string(report.entries.size()) + " whole entries)";
      break;
    }
    const bool safe = isSafeEntryName(entry->name);
    if (report.entries.empty() && safe) report.launchTarget = displayName(entry->name);
    report.entries.push_back({displayName(entry->name), entry->data.size(), safe});
    if (onEntry) onEntry(*entry);
  }
  buffer.drain();
  report.uncompressedSize = buffer.produced();
  // The gzip verdict comes first: a damaged member explains a cut entry.
  if (!buffer.problem().empty()) return damaged(buffer.problem());
  if (!cutShort.empty()) return damaged(cutShort);
  if (buffer.leftOver() != 0) {
    return damaged(std::to_string(buffer.leftOver()) + " bytes follow the gzip member inside the payload");
  }
  if (report.entries.empty()) return damaged("the package holds no entries, so there is nothing to launch");
  for (std::size_t i = 0; i < report.entries.size(); ++i) {
    if (!report.entries[i].safe) {
      report.verdict = PayloadVerdict::unsafeName;
      report.message = "entry " + std::to_string(i + 1) + " is named \"" + report.entries[i].name +
                       "\", which extraction refuses" +
                       (i == 0 ? "; the first entry is the launch target, so nothing would be launched" : "");
      return report;
    }
  }
  return report;
}

std::optional<std::string_view> bitmapResource(std::string_view file, std::string& problem) {
  if (file.size() < bitmapFileHeaderSize + bitmapInfoHeaderSize || file.substr(0, 2) != "BM") {
    problem = "it is not a bitmap file (no BM header)";
    return std::nullopt;
  }
  if (read32(file, 2) != file.size()) {
    problem = "the bitmap file is " + std::to_string(file.size()) + " bytes long, but its header declares " +
              std::to_string(read32(file, 2));
    return std::nullopt;
  }
  if (read32(file, 10) != bitmapFileHeaderSize + bitmapInfoHeaderSize ||
      read32(file, bitmapFileHeaderSize) != bitmapInfoHeaderSize) {
    problem = "the bitmap's pixels do not follow a 40-byte information header";
    return std::nullopt;
  }
  return file.substr(bitmapFileHeaderSize);
}

}  // namespace tenvik::packer
