// Registry value names against the version pattern "^6.". The input is the
// name as UTF-8 (bytes that are no UTF-8 become lone surrogates). Checked
// against the pattern's meaning stated line by line: the name matches exactly
// when one of its lines (split at line feeds) starts with "6" and a second
// unit that is no carriage return; and a match survives text appended after
// it, or a line put in front of it.

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "runtime/version_pattern.h"

namespace {

bool someLineStartsWithSixAndMore(const std::wstring& name) {
  std::size_t start = 0;
  while (true) {
    const std::size_t end = name.find(L'\n', start);
    const std::wstring line = name.substr(start, end == std::wstring::npos ? end : end - start);
    if (line.size() >= 2 && line[0] == L'6' && line[1] != L'\r') return true;
    if (end == std::wstring::npos) return false;
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring name = tenvik::fuzz::wideFromBytes(tenvik::fuzz::bytesOf(data, size));
  const bool matches = tenvik::matchesVersionPattern(name);
  FUZZ_REQUIRE(matches == someLineStartsWithSixAndMore(name));
  if (matches) {
    FUZZ_REQUIRE(tenvik::matchesVersionPattern(name + L"\n"));
    FUZZ_REQUIRE(tenvik::matchesVersionPattern(L"7.0.5\n" + name));
  }
  // A name that starts with "6" and one more unit other than a line break.
  if (name.size() >= 2 && name[0] == L'6' && name[1] != L'\n' && name[1] != L'\r') FUZZ_REQUIRE(matches);
  return 0;
}
