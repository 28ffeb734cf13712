#pragma once
// The moment a benchmark program reached its mark, on the machine-wide
// performance counter that the runner reads too, written as decimal ticks to
// the file named by TENVIK_BENCH_STAMP (the Unix environment reaches every
// Wine process, the runtime host started by Setup.exe included).

#include <windows.h>

#include <cstdio>

namespace bench {

inline void writeStamp() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  wchar_t path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"TENVIK_BENCH_STAMP", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  char text[32];
  const int size = std::snprintf(text, sizeof text, "%lld\n", static_cast<long long>(now.QuadPart));
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
}

}  // namespace bench
