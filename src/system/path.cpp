#include "system/path.h"

namespace tenvik {

std::wstring joinPath(const std::wstring& left, const std::wstring& right) {
  if (left.empty()) return right;
  if (left.back() == L'\\') return left + right;
  return left + L'\\' + right;
}

std::wstring parentPath(const std::wstring& path) {
  const auto slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return std::wstring();
  return path.substr(0, slash);
}

}  // namespace tenvik
