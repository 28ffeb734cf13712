// Starts one program, waits for it and prints what it cost:
//   bench_runner.exe [--memory] STAMP_FILE PROGRAM [ARGUMENTS]
//   -> wall_ms=<start to exit> stamp_ms=<start to the program's stamp, or -1>
//      peak_kb=<largest peak working set seen, or -1> exit=<exit code>
//      start_qpc=<the performance counter at the start>
// The stamp is what the started program (or a process it starts) writes to
// STAMP_FILE, named to it in TENVIK_BENCH_STAMP.
// With --memory the runner asks for the process's memory counters every
// millisecond while it runs: Wine answers them from the Linux process
// (/proc/<pid>/status), and only while that process is alive, so they must be
// read before the exit. Polling costs time, so timed runs leave it off.
//   bench_runner.exe --hold-desktop
// connects to the desktop and stays until it is killed: on Windows the
// desktop and its shell are always up, under Wine the first program that
// needs them starts explorer.exe, which leaves again once nobody uses it, and
// its next start races with the one leaving (now and then 10 s). The
// benchmark keeps one holder running for its whole length.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

double millisecondsBetween(long long from, long long to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

long long readStamp(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  char text[32] = {};
  DWORD got = 0;
  ReadFile(file, text, sizeof text - 1, &got, nullptr);
  CloseHandle(file);
  return got > 0 ? std::atoll(text) : -1;
}

long long peakWorkingSetKb(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return -1;
  return static_cast<long long>(counters.PeakWorkingSetSize / 1024);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wcscmp(argv[1], L"--hold-desktop") == 0) {
    GetDesktopWindow();
    Sleep(INFINITE);
  }
  int at = 1;
  const bool memory = argc > at && std::wcscmp(argv[at], L"--memory") == 0;
  if (memory) ++at;
  if (argc < at + 2) {
    std::fprintf(stderr, "usage: bench_runner.exe [--memory] STAMP_FILE PROGRAM [ARGUMENTS]\n");
    return 2;
  }
  const wchar_t* stampPath = argv[at];
  std::wstring commandLine = L"\"" + std::wstring(argv[at + 1]) + L"\"";
  for (int i = at + 2; i < argc; ++i) commandLine += L" " + std::wstring(argv[i]);

  DeleteFileW(stampPath);
  SetEnvironmentVariableW(L"TENVIK_BENCH_STAMP", stampPath);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(argv[at + 1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "bench_runner: cannot start %ls (error %lu)\n", argv[at + 1], GetLastError());
    return 3;
  }
  long long peakKb = -1;
  if (memory) {
    while (WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT) {
      const long long seen = peakWorkingSetKb(process.hProcess);
      if (seen > peakKb) peakKb = seen;
    }
  } else {
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  QueryPerformanceCounter(&end);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  const long long afterExitKb = peakWorkingSetKb(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  const long long stamp = readStamp(stampPath);
  std::printf("wall_ms=%.3f stamp_ms=%.3f peak_kb=%lld peak_after_exit_kb=%lld exit=%lu start_qpc=%lld\n",
              millisecondsBetween(start.QuadPart, end.QuadPart),
              stamp < 0 ? -1.0 : millisecondsBetween(start.QuadPart, stamp), peakKb, afterExitKb, exitCode,
              static_cast<long long>(start.QuadPart));
  std::fflush(stdout);
  return 0;
}
