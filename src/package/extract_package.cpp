#include "package/extract_package.h"

#include <windows.h>

#include "package/entry_writer.h"
#include "package/gzstream.h"
#include "package/package_archive.h"
#include "package/text_conversion.h"
#include "system/path.h"

namespace tenvik {
namespace {

uint64_t fileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

PackageExtraction extractPackage(const std::wstring& packagePath, const std::wstring& workDirectory) {
  return extractPackage(packagePath, workDirectory, UnpackReport());
}

PackageExtraction extractPackage(const std::wstring& packagePath, const std::wstring& workDirectory,
                                 const UnpackReport& report) {
  const uint64_t total = report ? fileSize(packagePath) : 0;
  igzstream package(toUTF8(packagePath).c_str());
  // The entries after one that cannot be written still get their chance, but
  // the package as a whole is no longer what was packed.
  EntryWriter writer;
  const ArchiveExtraction archive = extractEntries(package, [&](PackageEntry& entry) {
    writer.write(joinPath(workDirectory, toUTF16(entry.name)), entry.data);
    // A stream gone bad ends the archive where it stands, as data cut short
    // would: nothing more is read, and the package is not intact.
    if (report && !report(static_cast<uint64_t>(package.rdbuf()->compressed_offset()), total)) {
      package.setstate(std::ios_base::badbit);
    }
  });
  const bool allWritten = writer.finish();
  PackageExtraction result;
  if (archive.launchTarget) result.launchTarget = joinPath(workDirectory, toUTF16(*archive.launchTarget));
  result.intact = archive.complete && allWritten && package.rdbuf()->ended_cleanly();
  return result;
}

}  // namespace tenvik
