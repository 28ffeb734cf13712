#include "system/process_runner.h"

#include "system/process_command_line.h"
#include "system/unique_handle.h"

namespace tenvik {

HANDLE runProcess(const std::wstring& executable, const std::wstring& arguments,
                  const std::wstring& workingDirectory) {
  // CreateProcessW may write into the command line, so it gets a copy of its own.
  std::wstring commandLine = processCommandLine(executable, arguments);

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;

  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &info)) {
    return nullptr;
  }
  UniqueKernelHandle thread(info.hThread);
  return info.hProcess;
}

}  // namespace tenvik
