#include "system/process_command_line.h"

namespace tenvik {

std::wstring processCommandLine(const std::wstring& executable, const std::wstring& arguments) {
  std::wstring commandLine =
      executable.find(L' ') == std::wstring::npos ? executable : L"\"" + executable + L"\"";
  if (!arguments.empty()) {
    commandLine += L' ';
    commandLine += arguments;
  }
  return commandLine;
}

}  // namespace tenvik
