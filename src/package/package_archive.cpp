#include "package/package_archive.h"

#include <algorithm>
#include <cstdint>

#include "package/entry_name.h"

namespace tenvik {
namespace {

// Data is taken in pieces of this size, so a declared length is never turned
// into memory in use before the bytes behind it have arrived.
constexpr std::size_t readChunk = 64 * 1024;
// Room set aside at once for a declared length, so that an entry of any
// ordinary size is read into place without ever being moved; a larger
// declared length gets this much and the room doubles as its bytes arrive.
// Room set aside is only address space until bytes are written into it.
constexpr std::size_t upfrontRoom = 64 * 1024 * 1024;

// Reads count bytes into out, reusing the room out already has.
bool readExactly(std::istream& in, std::uint32_t count, std::string& out) {
  out.clear();
  out.reserve(std::min<std::size_t>(count, upfrontRoom));
  std::size_t left = count;
  while (left > 0) {
    const std::size_t piece = std::min(left, readChunk);
    const std::size_t have = out.size();
    out.resize(have + piece);
    in.read(&out[have], static_cast<std::streamsize>(piece));
    if (static_cast<std::size_t>(in.gcount()) != piece) return false;
    left -= piece;
  }
  return true;
}

std::optional<std::uint32_t> readLength(std::istream& in) {
  unsigned char bytes[4];
  in.read(reinterpret_cast<char*>(bytes), sizeof bytes);
  if (in.gcount() != static_cast<std::streamsize>(sizeof bytes)) return std::nullopt;
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

bool readEntryInto(std::istream& archive, PackageEntry& entry) {
  const auto nameLength = readLength(archive);
  if (!nameLength || !readExactly(archive, *nameLength, entry.name)) return false;
  const auto dataLength = readLength(archive);
  if (!dataLength || !readExactly(archive, *dataLength, entry.data)) return false;

  // The name stays whole, zero bytes included: isSafeEntryName refuses it
  // then, where cutting it would hand on a different, maybe harmless-looking
  // name than the one stored.
  std::replace(entry.name.begin(), entry.name.end(), '/', '\\');
  return true;
}

std::optional<PackageEntry> readEntry(std::istream& archive) {
  PackageEntry entry;
  if (!readEntryInto(archive, entry)) return std::nullopt;
  return entry;
}

ArchiveExtraction extractEntries(std::istream& archive, const std::function<void(PackageEntry&)>& store) {
  ArchiveExtraction result;
  bool first = true;
  bool allSafe = true;
  // One entry's room serves them all (or the room store swaps in for it):
  // after the largest, nothing more is allocated.
  PackageEntry entry;
  while (!archive.eof()) {
    // The archive has no trailer: data that runs out exactly between two
    // entries is its regular end. A bad stream (no file) ends here as well.
    if (archive.peek() == std::istream::traits_type::eof()) {
      result.complete = allSafe && !archive.bad();
      return result;
    }
    if (!readEntryInto(archive, entry)) return result;
    const bool safe = isSafeEntryName(entry.name);
    if (first && safe) result.launchTarget = entry.name;
    first = false;
    allSafe = allSafe && safe;
    if (safe) store(entry);
  }
  return result;
}

}  // namespace tenvik
