// tenvik-pack extract: the entries of a Setup.exe or payload bitmap written
// below a directory, as the bootstrapper would write them.

#include <algorithm>
#include <system_error>

#include "commands.h"
#include "exit_codes.h"
#include "output_file.h"
#include "pack_error.h"
#include "package/entry_name.h"
#include "payload_check.h"
#include "platform_path.h"
#include "utf_text.h"

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

// The file below root that entry name (extraction's form, "\" between
// levels, already judged safe) goes to. Refuses, by returning nothing, a
// name whose directories are links in root: they could lead outside it.
std::optional<fs::path> targetPath(const fs::path& root, const std::string& name) {
  fs::path path = root;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = name.find('\\', start);
    path /= fs::u8path(name.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return path;
    // On Windows a junction counts: the standard library does not see it.
    if (isLink(path)) return std::nullopt;
    start = end + 1;
  }
}

}  // namespace

int runExtract(const std::vector<std::string>& arguments, Console& console) {
  const auto parsed = parseArguments(arguments, {}, {}, console.err);
  if (!parsed) return usageError(console, "", extractUsage);
  if (parsed->positional.size() != 2) {
    return usageError(console, "extract needs a file and a directory", extractUsage);
  }
  const std::string file = parsed->positional[0];
  const fs::path root = systemPath(fs::u8path(parsed->positional[1]));
  const LoadedPayload loaded = loadPayload(fs::u8path(file));
  if (!loaded.problem.empty()) {
    throw PackError("\"" + file + "\" is damaged: " + loaded.problem + "; nothing was written", exitDamaged);
  }
  // The whole payload is checked before the first file is written, so a
  // damaged one leaves nothing behind that could pass for its content.
  const PayloadReport check = checkPayloadResource(loaded.resource);
  if (check.verdict == PayloadVerdict::damaged) {
    throw PackError("\"" + file + "\" is damaged: " + check.message + "; nothing was written", exitDamaged);
  }
  std::error_code error;
  fs::create_directories(root, error);
  if (error || !fs::is_directory(root)) {
    throw PackError("Cannot create the directory \"" + parsed->positional[1] + "\"" +
                    (error ? ": " + error.message() : std::string()));
  }

  std::size_t written = 0, refused = 0, failed = 0;
  std::uint64_t bytes = 0;
  checkPayloadResource(loaded.resource, [&](const PackageEntry& entry) {
    std::string shown = sanitisedUtf8(entry.name);
    std::replace(shown.begin(), shown.end(), '\\', '/');  // as list shows it
    const auto path = isSafeEntryName(entry.name) ? targetPath(root, entry.name) : std::nullopt;
    if (!path) {
      console.err << "tenvik-pack: refused \"" << shown << "\": extraction does not write this name\n";
      ++refused;
      return;
    }
    try {
      std::error_code ignored;
      fs::create_directories(path->parent_path(), ignored);
      writeOutput(*path, entry.data);
      ++written;
      bytes += entry.data.size();
    } catch (const PackError& failure) {
      console.err << "tenvik-pack: " << failure.what() << "\n";
      ++failed;
    }
  });
  console.out << "tenvik-pack: " << written << " entries (" << bytes << " bytes) written below "
              << parsed->positional[1];
  if (refused != 0) console.out << ", " << refused << " refused";
  if (failed != 0) console.out << ", " << failed << " not written";
  console.out << "\n";
  if (failed != 0) return exitFailure;
  return refused != 0 ? exitUnsafeName : exitSuccess;
}

}  // namespace tenvik::packer
