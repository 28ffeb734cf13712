#include "packer.h"

#include <fstream>
#include <limits>
#include <optional>
#include <ostream>
#include <system_error>

#include "archive_writer.h"
#include "package/entry_name.h"
#include "bitmap_container.h"
#include "pack_error.h"
#include "source_folder.h"

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

const char* const usage =
    "usage: tenvik-pack --entry <relative path of the main .dll> --output <file.bmp> <folder>";

struct Options {
  std::string entry;
  std::string output;
  std::string folder;
};

std::optional<Options> parseOptions(const std::vector<std::string>& arguments, std::ostream& err) {
  Options options;
  std::vector<std::string> positional;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--entry" || argument == "--output") {
      if (i + 1 == arguments.size()) {
        err << "tenvik-pack: " << argument << " needs a value\n";
        return std::nullopt;
      }
      (argument == "--entry" ? options.entry : options.output) = arguments[++i];
    } else if (argument.size() > 1 && argument[0] == '-') {
      err << "tenvik-pack: unknown option " << argument << "\n";
      return std::nullopt;
    } else {
      positional.push_back(argument);
    }
  }
  if (options.entry.empty() || options.output.empty() || positional.size() != 1) {
    err << "tenvik-pack: --entry, --output and exactly one folder are required\n";
    return std::nullopt;
  }
  options.folder = positional.front();
  return options;
}

std::string readWholeFile(const fs::path& path, const std::string& name) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error) throw PackError("Cannot read \"" + name + "\": " + error.message());
  if (size > std::numeric_limits<std::uint32_t>::max()) {
    throw PackError("The file \"" + name + "\" is larger than the archive's 4 GiB limit");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError("Cannot open \"" + name + "\"");
  std::string bytes(static_cast<size_t>(size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  if (static_cast<std::uintmax_t>(in.gcount()) != size ||
      in.peek() != std::ifstream::traits_type::eof()) {
    throw PackError("The file \"" + name + "\" changed while it was read");
  }
  return bytes;
}

// The bitmap goes to a side file first and takes the output's name only when
// complete, so a failed run never leaves something that looks like a payload.
void writeOutput(const fs::path& output, const std::string& bytes) {
  fs::path partial = output;
  partial += ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(partial, ignored);
      throw PackError("Cannot write \"" + partial.u8string() + "\"");
    }
  }
  std::error_code error;
  fs::rename(partial, output, error);
  if (error) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    throw PackError("Cannot create \"" + output.u8string() + "\": " + error.message());
  }
}

}  // namespace

std::string packFolder(const fs::path& folder, std::string_view entryName, PackSummary* summary) {
  if (!isSafeEntryName(entryName) || entryName.find('\\') != std::string_view::npos) {
    throw PackError("The entry name \"" + std::string(entryName) +
                    "\" must be a relative path inside the folder, with \"/\" between levels");
  }
  ArchiveWriter archive;
  for (const SourceFile& file : collectSources(folder, entryName)) {
    archive.add(file.name, readWholeFile(file.path, file.name));
  }
  if (summary != nullptr) {
    summary->entries = archive.entryCount();
    summary->archiveBytes = archive.archiveSize();
  }
  return archive.finish();
}

int runPacker(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  const auto options = parseOptions(arguments, err);
  if (!options) {
    err << usage << "\n";
    return exitUsage;
  }
  try {
    // A Windows user may name the entry with backslashes; the archive always
    // uses "/".
    std::string entry = fs::u8path(options->entry).lexically_normal().generic_u8string();
    PackSummary summary;
    const std::string payload = packFolder(fs::u8path(options->folder), entry, &summary);
    const auto side = containerSide(payload.size());
    if (!side) throw PackError("The compressed package is too large for a bitmap container");
    summary.payloadBytes = payload.size();
    summary.side = *side;
    writeOutput(fs::u8path(options->output), bitmapFile(payload));
    out << "tenvik-pack: " << summary.entries << " entries, " << summary.archiveBytes
        << " bytes, compressed to " << summary.payloadBytes << " bytes in a " << summary.side
        << "x" << summary.side << " bitmap: " << options->output << "\n";
    return 0;
  } catch (const std::exception& failure) {
    err << "tenvik-pack: " << failure.what() << "\n";
    return exitFailure;
  }
}

}  // namespace tenvik::packer
