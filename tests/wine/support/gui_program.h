#pragma once
// A program started by a GUI test, whose windows the test finds by its
// process id, and the texts of those windows as a screen reader reads them.

#include <windows.h>

#include <string>

#include "system/unique_handle.h"

namespace tenvik::test {

struct RunningProgram {
  UniqueKernelHandle process;  // empty when the program did not start
  DWORD id = 0;
};

RunningProgram start(const std::wstring& exe, const std::wstring& args);

// The exit code; a program still running after timeoutMs is killed and
// 0xDEAD returned.
DWORD waitForExit(const RunningProgram& program, DWORD timeoutMs = 120000);

std::wstring textOf(HWND window);
std::wstring classOf(HWND window);

}  // namespace tenvik::test
