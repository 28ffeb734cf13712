#pragma once
// Packs a published application folder into the payload bitmap that the
// bootstrapper embeds as its resource 102, and the command line of
// tenvik-pack around it.

#include <cstdint>
#include <filesystem>
#include <functional>
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
  std::vector<std::string> names;  // in archive order
};

struct PackProgress {
  std::size_t filesDone = 0;
  std::size_t files = 0;
  std::uint64_t bytesDone = 0;
  std::uint64_t bytes = 0;
};

// The gzip-compressed package archive of the files of folder, entryName
// first. Throws PackError (or a filesystem error) when a file cannot be read
// or must not be packed. progress (may be empty) hears of each file packed.
std::string packFolder(const std::filesystem::path& folder, std::string_view entryName,
                       PackSummary* summary = nullptr,
                       const std::function<void(const PackProgress&)>& progress = {});

// The command line of tenvik-pack, arguments as UTF-8 without the program
// name: a subcommand (pack, list, extract, --help) and its arguments, or the
// older form of pack without the word pack. Results go to out, warnings and
// messages to err; errIsTerminal asks for a progress line on err while a
// folder is packed. Returns one of the codes of exit_codes.h. Output files
// are never left half-written.
int runPacker(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
              bool errIsTerminal = false);

}  // namespace tenvik::packer
