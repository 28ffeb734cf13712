#pragma once
// The package archive: the decompressed package file is nothing but package
// entries one after another, each a 32-bit little-endian name length, the
// UTF-8 name with "/" between directories, a 32-bit little-endian data
// length, and the data. No header, count or trailer; the gzip trailer's check
// is the only integrity check there is.

#include <functional>
#include <istream>
#include <optional>
#include <string>

namespace tenvik {

struct PackageEntry {
  // UTF-8 bytes with every "/" turned into "\", otherwise as stored: a zero
  // byte stays in, so that isSafeEntryName refuses the name (extraction and
  // the packer alike) instead of seeing only the part before it.
  std::string name;
  std::string data;
};

// Reads the entry that starts at the stream's position. Returns nothing when
// the data ends (or the stream fails) anywhere inside the entry: a cut-short
// entry has no trustworthy content, and no length that was not read whole is
// acted upon. Memory in use grows only with the bytes that actually arrive
// (at most 64 MiB of room is set aside ahead of them), so a damaged length
// field runs into the end of the data instead of into a huge allocation.
std::optional<PackageEntry> readEntry(std::istream& archive);
// The same into entry, whose room is reused; false where readEntry gives
// nothing, and entry then holds no meaningful content.
bool readEntryInto(std::istream& archive, PackageEntry& entry);

struct ArchiveExtraction {
  // The name of the first entry, the launch target, when there was one and
  // it was safe.
  std::optional<std::string> launchTarget;
  // The archive ended exactly after an entry and every name was safe. Says
  // nothing of the compressed data around it or of what store did.
  bool complete = false;
};

// Reads entries until the archive ends and hands every entry whose name
// passes isSafeEntryName to store, in archive order. An entry cut short by
// the end of the data ends the pass without being stored. An unsafe name is
// skipped (later safe entries are still stored) and makes the archive
// incomplete; an unsafe first entry leaves no launch target. store may take
// the entry's contents by swapping them out; whatever room it leaves in
// their place is reused for the next entry.
ArchiveExtraction extractEntries(std::istream& archive, const std::function<void(PackageEntry&)>& store);

}  // namespace tenvik
