#include "system/handle_path.h"

#include <string_view>

namespace tenvik {
namespace {

bool startsWith(std::wstring_view text, std::wstring_view head) { return text.substr(0, head.size()) == head; }

bool isDriveLetter(wchar_t unit) { return (unit >= L'A' && unit <= L'Z') || (unit >= L'a' && unit <= L'z'); }

// "C:\..." or "\\server\share..." with every long-path or native prefix
// taken off; empty when path is neither.
std::wstring plainForm(std::wstring_view path) {
  for (std::wstring_view prefix : {std::wstring_view(L"\\\\?\\"), std::wstring_view(L"\\??\\")}) {
    if (!startsWith(path, prefix)) continue;
    path.remove_prefix(prefix.size());
    if (startsWith(path, L"UNC\\")) return L"\\\\" + std::wstring(path.substr(4));
    break;
  }
  if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\') return std::wstring(path);
  if (path.size() > 2 && startsWith(path, L"\\\\") && path[2] != L'\\' && path[2] != L'?' && path[2] != L'.') {
    return std::wstring(path);
  }
  return std::wstring();
}

wchar_t foldedAscii(wchar_t unit) { return unit >= L'a' && unit <= L'z' ? static_cast<wchar_t>(unit - 32) : unit; }

}  // namespace

std::wstring nativePathOf(const std::wstring& path) {
  const std::wstring plain = plainForm(path);
  if (plain.empty()) return std::wstring();
  if (startsWith(plain, L"\\\\")) return L"\\??\\UNC\\" + plain.substr(2);
  return L"\\??\\" + plain;
}

bool namesSamePath(const std::wstring& finalPath, const std::wstring& path) {
  const std::wstring reported = plainForm(finalPath);
  const std::wstring meant = plainForm(path);
  if (reported.empty() || reported.size() != meant.size()) return false;
  for (size_t i = 0; i < reported.size(); ++i) {
    if (foldedAscii(reported[i]) != foldedAscii(meant[i])) return false;
  }
  return true;
}

}  // namespace tenvik
