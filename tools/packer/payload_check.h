#pragma once
// Looks inside a payload the way the bootstrapper will: inflates the gzip
// member, checks its trailer, reads the package entries with the
// bootstrapper's own reader and asks its own rule whether each name would
// be extracted.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/package_archive.h"

namespace tenvik::packer {

enum class PayloadVerdict { intact, damaged, unsafeName };

struct ListedEntry {
  std::string name;  // as extraction reads it, with "/" between levels
  std::uint64_t size = 0;
  bool safe = true;  // extraction writes it
};

struct PayloadReport {
  std::vector<ListedEntry> entries;    // every whole entry, in archive order
  std::optional<std::string> launchTarget;  // the first entry, when extraction would launch it
  std::uint64_t resourceSize = 0;      // the payload resource, from its information header on
  std::uint64_t compressedSize = 0;    // the gzip member (the length field)
  std::uint64_t uncompressedSize = 0;  // what inflated, up to any damage
  PayloadVerdict verdict = PayloadVerdict::intact;
  std::string message;  // why the payload is not intact; empty when it is
  bool intact() const { return verdict == PayloadVerdict::intact; }
};

// Checks the payload resource (the bytes from the 40-byte information
// header on, as embedded). Every whole entry goes to onEntry (may be empty)
// as it is read, one at a time, so memory stays bounded by the largest
// entry; entries read before damage is found are handed over too, so a
// caller that must not act on a damaged payload checks first and acts in a
// second pass.
PayloadReport checkPayloadResource(std::string_view resource,
                                   const std::function<void(const PackageEntry&)>& onEntry = {});

// The payload resource inside a payload bitmap file: the file minus its
// 14-byte file header, after checking that header and the information
// header's size. Nothing, and problem set, when file is not such a bitmap.
std::optional<std::string_view> bitmapResource(std::string_view file, std::string& problem);

}  // namespace tenvik::packer
