#include "support/gui_program.h"

namespace tenvik::test {

RunningProgram start(const std::wstring& exe, const std::wstring& args) {
  std::wstring commandLine = L"\"" + exe + L"\" " + args;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  RunningProgram program;
  if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &info)) {
    CloseHandle(info.hThread);
    program.process.reset(info.hProcess);
    program.id = info.dwProcessId;
  }
  return program;
}

DWORD waitForExit(const RunningProgram& program, DWORD timeoutMs) {
  if (WaitForSingleObject(program.process.get(), timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(program.process.get(), 0xDEAD);
    WaitForSingleObject(program.process.get(), 10000);
    return 0xDEAD;
  }
  DWORD code = 0;
  GetExitCodeProcess(program.process.get(), &code);
  return code;
}

std::wstring textOf(HWND window) {
  std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

std::wstring classOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

}  // namespace tenvik::test
