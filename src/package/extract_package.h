#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace tenvik {

struct PackageExtraction {
  // The full path of the first entry, or empty when no entry could be used
  // as one.
  std::wstring launchTarget;
  // Every byte of the package is accounted for: the gzip data ended cleanly
  // (each trailer's CRC-32 and length checked out), the archive ended exactly
  // after an entry, every name was one extraction accepts, and every entry
  // was written in full. Only an intact package may be launched: a failed
  // check says some byte is wrong, not which.
  bool intact = false;
};

// Writes every entry of the gzip-compressed package archive at packagePath
// below workDirectory. Entries written before a fault stay on disk; the
// caller removes the directory. Throws std::runtime_error when a text
// conversion fails.
PackageExtraction extractPackage(const std::wstring& packagePath, const std::wstring& workDirectory);

// Told, after each entry is handed on to be written, how many bytes of the
// package file have been read (done) of how many there are (total, the
// file's size; 0 when it cannot be told). Returning false stops the
// extraction there: the package is then not intact.
using UnpackReport = std::function<bool(uint64_t done, uint64_t total)>;

// The same, reporting to report on the calling thread.
PackageExtraction extractPackage(const std::wstring& packagePath, const std::wstring& workDirectory,
                                 const UnpackReport& report);

}  // namespace tenvik
