#include "system/child_environment.h"

#include <algorithm>
#include <array>

namespace tenvik {
namespace {

wchar_t upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool startsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (upper(text[i]) != upper(prefix[i])) return false;
  }
  return true;
}

bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && startsWithIgnoringCase(a, b);
}

// The name of an entry: up to its first '=' after the first unit, since the
// drives' current directories are kept under names that begin with '='.
std::wstring_view nameOf(std::wstring_view entry) {
  const size_t equals = entry.find(L'=', 1);
  return entry.substr(0, equals == std::wstring_view::npos ? entry.size() : equals);
}

// The block's order: by name, without regard to case, in code unit order.
bool sortsBefore(std::wstring_view a, std::wstring_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](wchar_t x, wchar_t y) { return upper(x) < upper(y); });
}

void insertSorted(std::vector<std::wstring>& entries, const std::wstring& entry) {
  const auto place = std::find_if(entries.begin(), entries.end(), [&entry](const std::wstring& other) {
    return sortsBefore(nameOf(entry), nameOf(other));
  });
  entries.insert(place, entry);
}

}  // namespace

bool isRuntimeVariable(std::wstring_view name) {
  static constexpr std::array<std::wstring_view, 5> families = {L"DOTNET_", L"COREHOST_", L"CORECLR_", L"COR_",
                                                                L"COMPlus_"};
  return std::any_of(families.begin(), families.end(),
                     [name](std::wstring_view family) { return startsWithIgnoringCase(name, family); });
}

std::vector<std::wstring> childEnvironment(const std::vector<std::wstring>& entries, const std::wstring& tempFolder) {
  std::vector<std::wstring> kept;
  for (const std::wstring& entry : entries) {
    const std::wstring_view name = nameOf(entry);
    if (isRuntimeVariable(name) || equalsIgnoringCase(name, L"TEMP") || equalsIgnoringCase(name, L"TMP")) continue;
    kept.push_back(entry);
  }
  insertSorted(kept, L"TEMP=" + tempFolder);
  insertSorted(kept, L"TMP=" + tempFolder);
  return kept;
}

std::wstring environmentBlock(const std::vector<std::wstring>& entries) {
  std::wstring block;
  for (const std::wstring& entry : entries) {
    block += entry;
    block += L'\0';
  }
  block += L'\0';
  return block;
}

}  // namespace tenvik
