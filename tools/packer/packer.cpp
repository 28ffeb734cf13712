#include "packer.h"

#include <fstream>
#include <limits>
#include <system_error>

#include "archive_writer.h"
#include "pack_error.h"
#include "package/entry_name.h"
#include "source_folder.h"

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

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

}  // namespace

std::string packFolder(const fs::path& folder, std::string_view entryName, PackSummary* summary,
                       const std::function<void(const PackProgress&)>& progress) {
  if (!isSafeEntryName(entryName) || entryName.find('\\') != std::string_view::npos) {
    throw PackError("The entry name \"" + std::string(entryName) +
                    "\" must be a relative path inside the folder, with \"/\" between levels");
  }
  const std::vector<SourceFile> files = collectSources(folder, entryName);
  PackProgress done;
  done.files = files.size();
  if (progress) {
    for (const SourceFile& file : files) {
      std::error_code ignored;
      const std::uintmax_t size = fs::file_size(file.path, ignored);
      if (!ignored) done.bytes += size;
    }
  }
  ArchiveWriter archive;
  for (const SourceFile& file : files) {
    const std::string data = readWholeFile(file.path, file.name);
    archive.add(file.name, data);
    ++done.filesDone;
    done.bytesDone += data.size();
    if (progress) progress(done);
  }
  if (summary != nullptr) {
    summary->entries = archive.entryCount();
    summary->archiveBytes = archive.archiveSize();
    summary->names.clear();
    for (const SourceFile& file : files) summary->names.push_back(file.name);
  }
  return archive.finish();
}

}  // namespace tenvik::packer
