// The package file as extraction reads it: the gzip input stream over a real
// file, the archive reader over that stream. The input is the package file:
// a gzip member such as the packer makes, or anything else, which zlib passes
// through unchanged, so plain archives reach the entry reader directly.
//
// Checked: the stream delivers exactly the bytes zlib's own reading gives
// (on a damaged member, the two agree as far as both got), and the last four
// bytes read can be put back, across refills too; readEntry yields exactly
// the complete entries of those bytes; extractEntries stores exactly the
// complete entries with safe names, in order, names ready for Windows (no
// "/", no zero byte: a name holding one is refused, never cut), names the
// first one the launch target only when it is
// safe, calls the archive complete exactly when its entries fill the data
// and every name is safe (and the stream then says it ended cleanly exactly
// when zlib read gzip data without error), and never allocates far beyond
// the bytes that arrived, whatever the length fields claim.

#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "package/entry_name.h"
#include "package/gzstream.h"
#include "package/package_archive.h"

namespace {

using tenvik::fuzz::AllocationWatch;

// One file in memory for the whole run, opened by path like the package file.
class PackageFile {
 public:
  PackageFile() : descriptor_(memfd_create("package", 0)) {
    FUZZ_REQUIRE(descriptor_ >= 0);
    path_ = "/proc/self/fd/" + std::to_string(descriptor_);
  }

  const char* hold(std::string_view bytes) {
    FUZZ_REQUIRE(ftruncate(descriptor_, 0) == 0);
    std::size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t now = pwrite(descriptor_, bytes.data() + written, bytes.size() - written,
                                 static_cast<off_t>(written));
      FUZZ_REQUIRE(now > 0);
      written += static_cast<std::size_t>(now);
    }
    return path_.c_str();
  }

 private:
  int descriptor_;
  std::string path_;
};

// Far above what a few kilobytes of fuzz input honestly inflate to in the
// time one run may take; a bomb beyond it is skipped, not judged.
constexpr std::size_t kMaxInflated = 64u << 20;

struct Inflated {
  std::string bytes;
  bool clean = false;  // zlib reported no error, trailer included
  bool gzip = false;   // not data passed through unchecked
  bool tooLarge = false;
};

Inflated inflateWithZlib(const char* path) {
  Inflated result;
  gzFile file = gzopen(path, "rb");
  FUZZ_REQUIRE(file != nullptr);
  char chunk[64 * 1024];
  int got = 0;
  while ((got = gzread(file, chunk, sizeof chunk)) > 0) {
    result.bytes.append(chunk, static_cast<std::size_t>(got));
    if (result.bytes.size() > kMaxInflated) {
      result.tooLarge = true;
      break;
    }
  }
  int error = Z_OK;
  gzerror(file, &error);
  result.clean = got == 0 && error == Z_OK;
  result.gzip = gzdirect(file) == 0;
  gzclose(file);
  return result;
}

// Reads the stream to its end in pieces of changing size; after every piece
// the last four bytes must come back through unget.
std::string readThroughStream(const char* path) {
  tenvik::igzstream in(path);
  std::string bytes;
  // Sizes that end reads one, two and three bytes after a refill of 299.
  static constexpr std::size_t pieces[] = {1, 298, 2, 297, 3, 296, 300, 4096, 7};
  for (std::size_t round = 0;; ++round) {
    const std::size_t want = pieces[round % std::size(pieces)];
    std::string piece(want, '\0');
    in.read(piece.data(), static_cast<std::streamsize>(want));
    const auto got = static_cast<std::size_t>(in.gcount());
    FUZZ_REQUIRE(got <= want);
    bytes.append(piece, 0, got);
    if (got < want) {
      FUZZ_REQUIRE(in.eof());
      break;
    }
    // Refills keep the last four bytes in front of the new ones.
    const std::size_t back = std::min<std::size_t>(4, bytes.size());
    for (std::size_t i = 0; i < back; ++i) FUZZ_REQUIRE(in.unget());
    for (std::size_t i = bytes.size() - back; i < bytes.size(); ++i) {
      FUZZ_REQUIRE(in.get() == static_cast<unsigned char>(bytes[i]));
    }
    if (bytes.size() > kMaxInflated) break;
  }
  return bytes;
}

struct Entry {
  std::string name;  // as readEntry hands it on
  std::string data;
  bool operator==(const Entry& other) const { return name == other.name && data == other.data; }
};

std::uint32_t lengthAt(const std::string& bytes, std::size_t at) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

struct Layout {
  std::vector<Entry> entries;
  std::size_t consumed = 0;  // bytes the complete entries take up
};

// The complete entries of an archive, read straight from the layout: length,
// name, length, data, again and again; a cut-short entry ends the list.
Layout completeEntries(const std::string& archive) {
  Layout layout;
  std::vector<Entry>& entries = layout.entries;
  std::size_t at = 0;
  while (archive.size() - at >= 4) {
    const std::uint64_t nameLength = lengthAt(archive, at);
    if (archive.size() - at - 4 < nameLength + 4) break;
    const std::uint64_t dataLength = lengthAt(archive, at + 4 + nameLength);
    const std::size_t dataStart = at + 8 + nameLength;
    if (archive.size() - dataStart < dataLength) break;
    Entry entry{archive.substr(at + 4, nameLength), archive.substr(dataStart, dataLength)};
    std::replace(entry.name.begin(), entry.name.end(), '/', '\\');
    entries.push_back(std::move(entry));
    at = dataStart + dataLength;
  }
  layout.consumed = at;
  return layout;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static PackageFile file;
  const char* path = file.hold(tenvik::fuzz::bytesOf(data, size));

  const Inflated reference = inflateWithZlib(path);
  if (reference.tooLarge) return 0;
  const std::string streamed = readThroughStream(path);
  if (reference.clean) {
    FUZZ_REQUIRE(streamed == reference.bytes);
  } else {
    const std::size_t common = std::min(streamed.size(), reference.bytes.size());
    FUZZ_REQUIRE(streamed.compare(0, common, reference.bytes, 0, common) == 0);
  }

  const Layout layout = completeEntries(streamed);
  const std::vector<Entry>& complete = layout.entries;
  std::istringstream plain(streamed);
  for (const Entry& expected : complete) {
    const auto entry = tenvik::readEntry(plain);
    FUZZ_REQUIRE(entry && entry->name == expected.name && entry->data == expected.data);
  }
  if (plain.peek() != std::istream::traits_type::eof()) FUZZ_REQUIRE(!tenvik::readEntry(plain));

  std::vector<Entry> expectedStored;
  for (const Entry& entry : complete) {
    if (tenvik::isSafeEntryName(entry.name)) expectedStored.push_back(entry);
  }
  std::optional<std::string> expectedTarget;
  if (!complete.empty() && tenvik::isSafeEntryName(complete.front().name)) {
    expectedTarget = complete.front().name;
  }

  // Complete: the entries the layout model found fill the data exactly, and
  // every name is safe.
  bool allSafe = true;
  for (const Entry& entry : complete) allSafe = allSafe && tenvik::isSafeEntryName(entry.name);
  const bool expectedComplete = allSafe && layout.consumed == streamed.size();

  std::vector<Entry> stored;
  std::optional<std::string> target;
  bool archiveComplete = false;
  bool endedCleanly = false;
  std::size_t largest = 0;
  {
    tenvik::igzstream in(path);
    AllocationWatch watch;
    const tenvik::ArchiveExtraction extraction = tenvik::extractEntries(in, [&](const tenvik::PackageEntry& entry) {
      FUZZ_REQUIRE(tenvik::isSafeEntryName(entry.name));
      FUZZ_REQUIRE(entry.name.find('/') == std::string::npos);
      FUZZ_REQUIRE(entry.name.find('\0') == std::string::npos);
      stored.push_back({entry.name, entry.data});
    });
    largest = watch.largest();
    target = extraction.launchTarget;
    archiveComplete = extraction.complete;
    // A complete archive was read to its end, so the stream knows how it ended.
    endedCleanly = in.rdbuf()->ended_cleanly();
  }
  FUZZ_REQUIRE(stored == expectedStored);
  FUZZ_REQUIRE(target == expectedTarget);
  FUZZ_REQUIRE(archiveComplete == expectedComplete);
  if (archiveComplete) FUZZ_REQUIRE(endedCleanly == (reference.clean && reference.gzip));
  // Pieces of 64 KiB at most, strings that at most double, and zlib's own
  // buffers, or the room of at most 64 MiB that a declared length may set
  // aside at once (and its terminating zero): anything larger came from a
  // length field, not from the data.
  FUZZ_REQUIRE(largest <= std::max<std::size_t>(2 * streamed.size() + (512u << 10), (std::size_t{64} << 20) + 4096));
  return 0;
}
