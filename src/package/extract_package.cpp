#include "package/extract_package.h"

#include "package/gzstream.h"
#include "package/package_archive.h"
#include "package/text_conversion.h"
#include "system/file_system.h"
#include "system/path.h"

namespace tenvik {

std::wstring extractPackage(const std::wstring& packagePath, const std::wstring& workDirectory) {
  igzstream package(toUTF8(packagePath).c_str());
  const auto firstName = extractEntries(package, [&](const PackageEntry& entry) {
    // A file that cannot be written is skipped; the entries after it still
    // get their chance.
    writeFile(joinPath(workDirectory, toUTF16(entry.name)), entry.data);
  });
  if (!firstName) return std::wstring();
  return joinPath(workDirectory, toUTF16(*firstName));
}

}  // namespace tenvik
