#include "system/process_runner.h"

#include "system/process_command_line.h"
#include "system/unique_handle.h"

namespace tenvik {

HANDLE startProcess(const ProcessStart& start) {
  // CreateProcessW may write into the command line, so it gets a copy of its own.
  std::wstring commandLine = start.commandLine;
  // The block is only read, but the platform's parameter is not const.
  std::wstring environment = start.environment;

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = start.show;

  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(start.executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      environment.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                      environment.empty() ? nullptr : environment.data(),
                      start.workingDirectory.empty() ? nullptr : start.workingDirectory.c_str(), &startup, &info)) {
    return nullptr;
  }
  UniqueKernelHandle thread(info.hThread);
  return info.hProcess;
}

HANDLE runProcess(const std::wstring& executable, const std::wstring& arguments,
                  const std::wstring& workingDirectory, const std::wstring& environment) {
  return startProcess({executable, processCommandLine(executable, arguments), workingDirectory, environment, SW_SHOW});
}

std::vector<std::wstring> processEnvironment() {
  std::vector<std::wstring> entries;
  wchar_t* block = GetEnvironmentStringsW();
  if (!block) return entries;
  for (const wchar_t* entry = block; *entry; entry += entries.back().size() + 1) entries.emplace_back(entry);
  FreeEnvironmentStringsW(block);
  return entries;
}

}  // namespace tenvik
