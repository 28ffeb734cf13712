// Stand-in for any program a test starts: it records how it was started and
// exits with a chosen code.
//
//   TENVIK_REPORT_FILE  Windows path of the report file; a block is appended (UTF-8)
//   TENVIK_REPORT_EXIT  exit code, decimal (may be negative) or 0x-hex; default 0
//
// Report block:
//   run
//   command=<GetCommandLineW, whole>
//   directory=<current directory>
//   startFlags=<STARTUPINFO dwFlags, decimal>
//   showWindow=<STARTUPINFO wShowWindow, decimal>
//   module=<own file name>

#include <windows.h>

#include "standin_report.h"

int main() {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);

  wchar_t module[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH * 4);

  standin::appendReport(standin::variable(L"TENVIK_REPORT_FILE"),
                        {{"command", GetCommandLineW()},
                         {"directory", standin::currentDirectory()},
                         {"startFlags", std::to_wstring(startup.dwFlags)},
                         {"showWindow", std::to_wstring(startup.wShowWindow)},
                         {"module", module}});
  return static_cast<int>(standin::exitCodeFrom(L"TENVIK_REPORT_EXIT", 0));
}
