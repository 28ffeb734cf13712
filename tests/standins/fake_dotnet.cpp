// Stand-in for the .NET runtime host, installed as dotnet.exe in a test
// prefix. It records what the bootstrapper gave it and exits with a chosen
// code, so tests can check the launch without a real runtime.
//
//   TENVIK_HOST_REPORT  Windows path of the report file to write (UTF-8)
//   TENVIK_HOST_EXIT    exit code, decimal (may be negative) or 0x-hex; default 0
//   TENVIK_HOST_WAIT_FOR
//                       Windows path of a file: after the report is written,
//                       stay running until it exists (two minutes at most),
//                       as an application would while its user works
//
// Report lines:
//   parameters=<command line after the program name, as received>
//   directory=<current directory>
//   show=<STARTUPINFO wShowWindow when STARTF_USESHOWWINDOW is set, else "default">
//   env.<NAME>=<value>   (each variable of environmentReport that is set)
//   file=<path relative to the current directory>|<size>|<crc32 hex>   (each file, sorted)

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "standin_report.h"

namespace {

using standin::utf8;

// The tail after the program name, split the way the C runtime does it.
std::wstring parametersOf(const wchar_t* commandLine) {
  const wchar_t* p = commandLine;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  if (*p == L' ' || *p == L'\t') ++p;  // exactly the one separating blank
  return p;
}

void describeFile(const std::wstring& path, const std::wstring& relative, std::vector<std::string>& lines) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  uLong crc = crc32(0, nullptr, 0);
  unsigned long long size = 0;
  if (file != INVALID_HANDLE_VALUE) {
    static char buffer[1 << 16];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
      crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), got);
      size += got;
    }
    CloseHandle(file);
  }
  char tail[64];
  snprintf(tail, sizeof(tail), "|%llu|%08lx", size, static_cast<unsigned long>(crc));
  lines.push_back("file=" + utf8(relative) + tail);
}

void describeTree(const std::wstring& root, const std::wstring& prefix, std::vector<std::string>& lines) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((root + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      describeTree(root + L"\\" + name, prefix + name + L"\\", lines);
    } else {
      describeFile(root + L"\\" + name, prefix + name, lines);
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

}  // namespace

int main() {
  const std::wstring reportPath = standin::variable(L"TENVIK_HOST_REPORT");
  const std::wstring cwd = standin::currentDirectory();

  std::vector<std::string> files;
  describeTree(cwd, L"", files);
  std::sort(files.begin(), files.end());

  std::string report = "parameters=" + utf8(parametersOf(GetCommandLineW())) + "\n";
  report += "directory=" + utf8(cwd) + "\n";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  report += "show=" + ((startup.dwFlags & STARTF_USESHOWWINDOW) ? std::to_string(startup.wShowWindow) : "default") + "\n";
  for (const auto& [name, value] : standin::environmentReport()) report += name + "=" + utf8(value) + "\n";
  for (const auto& line : files) report += line + "\n";

  if (!reportPath.empty()) {
    HANDLE file = CreateFileW(reportPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
      CloseHandle(file);
    }
  }
  standin::waitForFile(standin::variable(L"TENVIK_HOST_WAIT_FOR"));
  return static_cast<int>(standin::exitCodeFrom(L"TENVIK_HOST_EXIT", 0));
}
