#include "package/extract_package.h"

#include "package/entry_writer.h"
#include "package/gzstream.h"
#include "package/package_archive.h"
#include "package/text_conversion.h"
#include "system/path.h"

namespace tenvik {

PackageExtraction extractPackage(const std::wstring& packagePath, const std::wstring& workDirectory) {
  igzstream package(toUTF8(packagePath).c_str());
  // The entries after one that cannot be written still get their chance, but
  // the package as a whole is no longer what was packed.
  EntryWriter writer;
  const ArchiveExtraction archive = extractEntries(package, [&](PackageEntry& entry) {
    writer.write(joinPath(workDirectory, toUTF16(entry.name)), entry.data);
  });
  const bool allWritten = writer.finish();
  PackageExtraction result;
  if (archive.launchTarget) result.launchTarget = joinPath(workDirectory, toUTF16(*archive.launchTarget));
  result.intact = archive.complete && allWritten && package.rdbuf()->ended_cleanly();
  return result;
}

}  // namespace tenvik
