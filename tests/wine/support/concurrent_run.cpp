#include "support/concurrent_run.h"

namespace tenvik::test {

StartedRun::StartedRun(const std::wstring& exe, const std::wstring& args) {
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!args.empty()) commandLine += L" " + args;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return;
  }
  process_.reset(info.hProcess);
  CloseHandle(info.hThread);
}

StartedRun::~StartedRun() {
  if (process_ && WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0) {
    TerminateProcess(process_.get(), 0xDEAD);
    WaitForSingleObject(process_.get(), 10000);
  }
}

bool StartedRun::stillRunningAfter(DWORD timeoutMs) const {
  return process_ && WaitForSingleObject(process_.get(), timeoutMs) == WAIT_TIMEOUT;
}

RunResult StartedRun::finish(DWORD timeoutMs) {
  RunResult result;
  if (!process_) return result;
  result.started = true;
  if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process_.get(), 0xDEAD);
    WaitForSingleObject(process_.get(), 10000);
    result.timedOut = true;
  }
  GetExitCodeProcess(process_.get(), &result.exitCode);
  return result;
}

bool waitForFile(const std::wstring& path, DWORD timeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
    if (fileExists(path)) return true;
    Sleep(50);
  }
  return fileExists(path);
}

void releaseGate(const std::wstring& path) { writeFileBytes(path, ""); }

}  // namespace tenvik::test
