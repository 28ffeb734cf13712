// tenvik-pack pack: a folder or a payload bitmap in; a payload bitmap or a
// stamped Setup.exe out.

#include <string>

#include "bitmap_container.h"
#include "byte_order.h"
#include "commands.h"
#include "icon_file.h"
#include "output_file.h"
#include "pack_error.h"
#include "packer.h"
#include "payload_check.h"
#include "progress_line.h"
#include "setup_image.h"
#include "utf_text.h"

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

// A path longer than this cannot be created on a Windows without long-path
// support (MAX_PATH, 260 units with the terminator).
constexpr std::size_t longestPath = 259;

void warnAboutLongPaths(const std::vector<std::string>& names, const std::string& productWord,
                        std::ostream& err) {
  const std::string prefix = "C:\\ProgramData\\" + productWord + "\\Setup.tmp\\";
  for (const std::string& name : names) {
    std::string path = prefix + name;
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    const std::size_t length = utf16Length(path);
    if (length > longestPath) {
      err << "tenvik-pack: warning: \"" << name << "\" unpacks to a path of " << length
          << " characters, more than " << longestPath
          << "; Windows without long-path support cannot write it: " << path << "\n";
    }
  }
}

// The bitmap file, checked as the bootstrapper would read it.
std::string checkedBitmapFile(const fs::path& file, PackSummary& summary) {
  const std::string bytes = readInputFile(file);
  std::string problem;
  const auto resource = bitmapResource(bytes, problem);
  const std::string what = "The payload bitmap \"" + file.u8string() + "\"";
  if (!resource) throw PackError(what + " cannot be used: " + problem, exitDamaged);
  const PayloadReport report = checkPayloadResource(*resource);
  if (!report.intact()) {
    throw PackError(what + (report.verdict == PayloadVerdict::damaged ? " is damaged: " : " cannot be used: ") +
                        report.message,
                    report.verdict == PayloadVerdict::damaged ? exitDamaged : exitUnsafeName);
  }
  summary.entries = report.entries.size();
  summary.archiveBytes = report.uncompressedSize;
  summary.payloadBytes = report.compressedSize;
  summary.side = read32(*resource, 4);  // the declared width
  for (const ListedEntry& entry : report.entries) summary.names.push_back(entry.name);
  return bytes;
}

}  // namespace

int runPack(const std::vector<std::string>& arguments, Console& console) {
  const auto parsed = parseArguments(arguments,
                                     {"--entry", "--output", "--stub", "--payload", "--icon", "--product-name",
                                      "--company", "--file-version", "--product-word"},
                                     {}, console.err);
  if (!parsed) return usageError(console, "", packUsage);
  const auto option = [&](const char* name) -> std::optional<std::string> {
    const auto found = parsed->values.find(name);
    if (found == parsed->values.end()) return std::nullopt;
    return found->second;
  };
  const auto output = option("--output"), stub = option("--stub"), payload = option("--payload");
  const auto entry = option("--entry");
  if (!output || output->empty()) return usageError(console, "--output is required", packUsage);
  if (payload) {
    if (!stub) return usageError(console, "--payload needs --stub: the bitmap is already a payload", packUsage);
    if (entry || !parsed->positional.empty()) {
      return usageError(console, "--payload replaces --entry and the folder", packUsage);
    }
  } else if (!entry || entry->empty() || parsed->positional.size() != 1) {
    return usageError(console, "--entry, --output and exactly one folder are required", packUsage);
  }
  StampOptions stamp;
  stamp.version.productName = option("--product-name");
  stamp.version.company = option("--company");
  if (const auto version = option("--file-version")) {
    stamp.version.fileVersion = parseVersionNumber(*version);
    if (!stamp.version.fileVersion) {
      return usageError(console, "--file-version needs four numbers from 0 to 65535, e.g. 2.1.0.0", packUsage);
    }
  }
  const auto icon = option("--icon");
  if (!stub && (icon || stamp.version.productName || stamp.version.company || stamp.version.fileVersion)) {
    return usageError(console, "--icon, --product-name, --company and --file-version need --stub", packUsage);
  }
  const std::string productWord = option("--product-word").value_or("Tenvik");
  if (productWord.empty()) return usageError(console, "--product-word must not be empty", packUsage);

  if (icon) {
    const std::string iconBytes = readInputFile(fs::u8path(*icon));
    try {
      stamp.icons = parseIconFile(iconBytes);
    } catch (const PackError& failure) {
      throw PackError("\"" + *icon + "\": " + failure.what(), failure.exitCode);
    }
  }
  // A trial stamp with an empty payload finds whatever is wrong with the
  // stub before a large folder is packed.
  std::string stubBytes;
  if (stub) {
    stubBytes = readInputFile(fs::u8path(*stub));
    try {
      stampSetup(stubBytes, std::string_view(), stamp);
    } catch (const PackError& failure) {
      throw PackError("The stub \"" + *stub + "\" cannot be stamped: " + failure.what(), failure.exitCode);
    }
  }

  PackSummary summary;
  std::string bitmap;
  if (payload) {
    bitmap = checkedBitmapFile(fs::u8path(*payload), summary);
  } else {
    // A Windows user may name the entry with backslashes; the archive always
    // uses "/".
    const std::string entryName = fs::u8path(*entry).lexically_normal().generic_u8string();
    ProgressLine progress(console.err, console.errIsTerminal);
    std::string member;
    try {
      member = packFolder(fs::u8path(parsed->positional.front()), entryName, &summary,
                          [&](const PackProgress& done) { progress.update(done); });
    } catch (...) {
      progress.finish();
      throw;
    }
    progress.finish();
    const auto side = containerSide(member.size());
    if (!side) throw PackError("The compressed package is too large for a bitmap container");
    summary.payloadBytes = member.size();
    summary.side = *side;
    bitmap = bitmapFile(member);
  }
  const std::string_view resource = std::string_view(bitmap).substr(bitmapFileHeaderSize);
  warnAboutLongPaths(summary.names, productWord, console.err);

  const fs::path outputPath = fs::u8path(*output);
  std::string what;
  if (stub) {
    StampResult stamped;
    try {
      stamped = stampSetup(std::move(stubBytes), resource, stamp);
    } catch (const PackError& failure) {
      throw PackError("The stub \"" + *stub + "\" cannot be stamped: " + failure.what(), failure.exitCode);
    }
    if (stamped.certificateRemoved) {
      console.err << "tenvik-pack: warning: the stub \"" << *stub
                  << "\" was signed; its signature cannot cover the new payload and was removed: sign \""
                  << *output << "\" again\n";
    }
    writeOutput(outputPath, stamped.bytes);
    what = "Setup.exe";
  } else {
    writeOutput(outputPath, bitmap);
    what = "payload bitmap";
  }
  console.out << "tenvik-pack: " << summary.entries << " entries, " << summary.archiveBytes
              << " bytes, compressed to " << summary.payloadBytes << " bytes in a " << summary.side << "x"
              << summary.side << " bitmap; " << what << ": " << *output << "\n";
  return exitSuccess;
}

}  // namespace tenvik::packer
