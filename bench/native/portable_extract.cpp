// The bootstrapper's portable extraction code on this machine: the gzip
// input stream and the archive reader of Setup.exe, with plain C stdio
// writes in place of the Windows file calls.
//   portable_extract read PACKAGE_FILE         inflate and parse, write nothing
//   portable_extract write PACKAGE_FILE DIR    write every entry below DIR
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "package/gzstream.h"
#include "package/package_archive.h"

int main(int argc, char** argv) {
  const bool write = argc == 4 && std::strcmp(argv[1], "write") == 0;
  if (!write && !(argc == 3 && std::strcmp(argv[1], "read") == 0)) {
    std::fprintf(stderr, "usage: portable_extract read PACKAGE | write PACKAGE DIR\n");
    return 2;
  }
  tenvik::igzstream package(argv[2]);
  long long bytes = 0;
  bool allWritten = true;
  const auto result = tenvik::extractEntries(package, [&](const tenvik::PackageEntry& entry) {
    bytes += static_cast<long long>(entry.data.size());
    if (!write) return;
    std::string name = entry.name;
    std::replace(name.begin(), name.end(), '\\', '/');
    const std::filesystem::path path = std::filesystem::path(argv[3]) / name;
    std::filesystem::create_directories(path.parent_path());
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr || std::fwrite(entry.data.data(), 1, entry.data.size(), out) != entry.data.size()) {
      allWritten = false;
    }
    if (out != nullptr && std::fclose(out) != 0) allWritten = false;
  });
  std::printf("%lld bytes, complete=%d\n", bytes, result.complete ? 1 : 0);
  return result.complete && allWritten && package.rdbuf()->ended_cleanly() ? 0 : 1;
}
