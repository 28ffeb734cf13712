#pragma once
// Reading what the recording stand-ins (tests/standins) wrote: one block per
// run, "run" and then key=value lines, UTF-8.

#include <map>
#include <string>
#include <vector>

#include "support/wine_support.h"

namespace tenvik::test {

using StandinRun = std::map<std::string, std::wstring>;

inline std::vector<StandinRun> readStandinRuns(const std::wstring& reportPath) {
  const std::string text = readFileBytes(reportPath);
  std::vector<StandinRun> runs;
  std::string::size_type start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line == "run") {
      runs.emplace_back();
    } else if (!runs.empty()) {
      const auto equals = line.find('=');
      if (equals != std::string::npos) runs.back()[line.substr(0, equals)] = widen(line.substr(equals + 1));
    }
  }
  return runs;
}

// Paths as a program reports them may differ in case and in a trailing
// backslash from the same path as a test composed it.
inline std::wstring comparablePath(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  for (auto& unit : path) unit = static_cast<wchar_t>(towlower(unit));
  return path;
}

}  // namespace tenvik::test
