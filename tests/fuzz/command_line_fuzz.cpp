// Command lines handed on: the one a started installer receives
// (processCommandLine) and the parameters the runtime host receives
// (hostParameters), with the silent-switch test. Input: a path as UTF-8, a
// zero byte, then the arguments as UTF-8.
//
// Checked, by taking the produced line apart again: the command line starts
// with the path, in double quotes exactly when it holds a blank, then one
// blank and the arguments verbatim unless they are empty; the host's parameters likewise always carry the blank. And
// what the receiving program gets, split by the Windows C runtime's rules:
// the path comes back whole as its first word when it holds no double quote
// and no tab (and, in quotes, does not end in a backslash, which would escape
// the closing quote), and after it come exactly the words the arguments
// alone split into. The host sees "--silent" whenever the bootstrapper did.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "launcher/command_line.h"
#include "system/process_command_line.h"

namespace {

// The words of a command line as the Microsoft C runtime splits arguments
// after the program name: blanks and tabs separate; 2n backslashes before a
// quote give n and the quote opens or closes; 2n + 1 give n and a literal
// quote; other backslashes are literal; "" inside quotes is a literal quote.
std::vector<std::wstring> runtimeWords(const std::wstring& line) {
  std::vector<std::wstring> words;
  std::size_t at = 0;
  while (true) {
    while (at < line.size() && (line[at] == L' ' || line[at] == L'\t')) ++at;
    if (at == line.size()) return words;
    std::wstring word;
    bool quoted = false;
    while (at < line.size()) {
      const wchar_t c = line[at];
      if (!quoted && (c == L' ' || c == L'\t')) break;
      if (c == L'\\') {
        std::size_t run = 0;
        while (at < line.size() && line[at] == L'\\') ++run, ++at;
        if (at < line.size() && line[at] == L'"') {
          word.append(run / 2, L'\\');
          if (run % 2 == 1) {
            word += L'"';
            ++at;
          }
        } else {
          word.append(run, L'\\');
        }
        continue;
      }
      if (c == L'"') {
        if (quoted && at + 1 < line.size() && line[at + 1] == L'"') {
          word += L'"';
          at += 2;
          continue;
        }
        quoted = !quoted;
        ++at;
        continue;
      }
      word += c;
      ++at;
    }
    words.push_back(word);
  }
}

// The program name as the C runtime takes it from the front of a command
// line: up to the closing quote when it starts with one, else up to the
// first blank or tab; no escapes.
std::wstring programName(const std::wstring& line) {
  if (!line.empty() && line[0] == L'"') return line.substr(1, line.find(L'"', 1) - 1);
  return line.substr(0, line.find_first_of(L" \t"));
}

// The line taken apart by position: it must open with the path, wrapped in a
// double quote on each side exactly when quoted; what follows is returned.
// A line of another shape gives a text no caller expects (a zero unit in
// front of the whole line), so the comparison after it fails.
std::wstring restAfterPath(const std::wstring& line, const std::wstring& path, bool quoted) {
  const std::size_t n = path.size();
  const std::wstring unexpected = std::wstring(1, L'\0') + line;
  if (quoted) {
    if (line.size() < n + 2 || line[0] != L'"' || line.compare(1, n, path) != 0 || line[n + 1] != L'"') {
      return unexpected;
    }
    return line.substr(n + 2);
  }
  if (line.compare(0, n, path) != 0) return unexpected;
  return line.substr(n);
}

bool endsWith(const std::wstring& text, wchar_t c) { return !text.empty() && text.back() == c; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tenvik::fuzz::InputReader input(tenvik::fuzz::bytesOf(data, size));
  const std::wstring path = tenvik::fuzz::wideFromBytes(input.piece('\0'));
  const std::wstring arguments = tenvik::fuzz::wideFromBytes(input.rest());

  const bool blank = path.find(L' ') != std::wstring::npos;
  const bool plainPath = !path.empty() && path.find_first_of(L"\"\t") == std::wstring::npos;

  const std::wstring commandLine = tenvik::processCommandLine(path, arguments);
  const std::wstring afterCommand = restAfterPath(commandLine, path, blank);
  FUZZ_REQUIRE(afterCommand == (arguments.empty() ? L"" : L" " + arguments));
  if (plainPath) {
    FUZZ_REQUIRE(programName(commandLine) == path);
  }

  const std::wstring parameters = tenvik::hostParameters(path, arguments);
  FUZZ_REQUIRE(restAfterPath(parameters, path, blank) == L" " + arguments);
  if (plainPath && !(blank && endsWith(path, L'\\'))) {
    std::vector<std::wstring> expected{path};
    for (const std::wstring& word : runtimeWords(arguments)) expected.push_back(word);
    FUZZ_REQUIRE(runtimeWords(parameters) == expected);
  }

  if (tenvik::commandLineAsksSilent(arguments)) {
    FUZZ_REQUIRE(tenvik::commandLineAsksSilent(parameters));
    FUZZ_REQUIRE(tenvik::commandLineAsksSilent(commandLine));
  }
  FUZZ_REQUIRE(tenvik::commandLineAsksSilent(arguments + L"--silent" + path));
  if (arguments.find(L'-') == std::wstring::npos) FUZZ_REQUIRE(!tenvik::commandLineAsksSilent(arguments));
  return 0;
}
