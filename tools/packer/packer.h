#pragma once
// Packs a published application folder into the payload bitmap that the
// bootstrapper embeds as its resource 102.

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace tenvik::packer {

struct PackSummary {
  std::size_t entries = 0;
  std::uint64_t archiveBytes = 0;  // uncompressed
  std::uint64_t payloadBytes = 0;  // the gzip member
  std::uint32_t side = 0;          // of the square bitmap, in pixels
};

// The gzip-compressed package archive of the files of folder, entryName
// first. Throws PackError (or a filesystem error) when a file cannot be read
// or must not be packed.
std::string packFolder(const std::filesystem::path& folder, std::string_view entryName,
                       PackSummary* summary = nullptr);

// The command line of tenvik-pack, arguments as UTF-8 without the program
// name: --entry <name> --output <file.bmp> <folder>. Writes one summary line
// to out on success, messages to err otherwise. Returns 0 on success, 2 for a
// malformed command line, 1 when packing failed; the output file is then left
// as it was, never half-written.
int runPacker(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace tenvik::packer
