#pragma once
#include <string>

namespace tenvik {

// Writes every entry of the gzip-compressed package archive at packagePath
// below workDirectory and returns the full path of the first entry (the
// launch target), or an empty string when no entry could be used as one.
// Throws std::runtime_error when a text conversion fails.
std::wstring extractPackage(const std::wstring& packagePath, const std::wstring& workDirectory);

}  // namespace tenvik
