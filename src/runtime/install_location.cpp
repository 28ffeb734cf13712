#include "runtime/install_location.h"

#include <algorithm>

namespace tenvik {
namespace {

bool isDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool isRefusedInName(wchar_t c) {
  return c < 0x20 || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' ||
         c == L'|';
}

}  // namespace

bool isDriveAbsolutePath(const std::wstring& path) {
  if (path.size() < 3 || !isDriveLetter(path[0]) || path[1] != L':' || path[2] != L'\\') return false;
  size_t start = 3;
  while (start < path.size()) {
    const size_t end = std::min(path.find(L'\\', start), path.size());
    const std::wstring name = path.substr(start, end - start);
    if (name.empty() || name == L"." || name == L"..") return false;
    for (const wchar_t c : name) {
      if (isRefusedInName(c)) return false;
    }
    if (end == path.size() || end + 1 == path.size()) return true;  // the end, or one trailing backslash
    start = end + 1;
  }
  return true;  // the drive's root
}

}  // namespace tenvik
