#pragma once
// What the recording stand-ins share: reading their orders from the
// environment (the Unix environment reaches Wine processes) and appending
// key=value lines in UTF-8 to a report file, one block per run.

#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "package/text_conversion.h"

namespace standin {

inline std::wstring variable(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::wstring();
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

// Decimal (a leading minus allowed) or 0x-hex; fallback when unset or empty.
inline DWORD exitCodeFrom(const wchar_t* name, DWORD fallback) {
  const std::wstring text = variable(name);
  if (text.empty()) return fallback;
  if (text[0] == L'-') return static_cast<DWORD>(std::wcstol(text.c_str(), nullptr, 10));
  return static_cast<DWORD>(std::wcstoul(text.c_str(), nullptr, 0));
}

// Returns once a file exists at path (at once when path is empty), or after
// two minutes, so that a stand-in a test forgot to release still ends.
inline void waitForFile(const std::wstring& path) {
  for (int waited = 0; !path.empty() && waited < 120000; waited += 50) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    Sleep(50);
  }
}

inline std::string utf8(const std::wstring& text) { return tenvik::toUTF8(text); }

// "env.NAME" and the value of each of these variables that is set: the
// temporary folders a program unpacks into, and variables by which the .NET
// host and runtime would load code that an elevated child must never see.
inline std::vector<std::pair<std::string, std::wstring>> environmentReport() {
  static const wchar_t* const names[] = {L"TEMP", L"TMP", L"DOTNET_STARTUP_HOOKS", L"CORECLR_ENABLE_PROFILING",
                                         L"CORECLR_PROFILER_PATH", L"COR_PROFILER"};
  std::vector<std::pair<std::string, std::wstring>> lines;
  for (const wchar_t* name : names) {
    if (GetEnvironmentVariableW(name, nullptr, 0) != 0) lines.push_back({"env." + utf8(name), variable(name)});
  }
  return lines;
}

inline std::wstring currentDirectory() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::wstring directory(size, L'\0');
  const DWORD length = GetCurrentDirectoryW(size, directory.data());
  directory.resize(length < size ? length : 0);
  return directory;
}

inline std::string readAll(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// Appends "run\n" and then one "key=value\n" line per entry, so a report
// that several runs wrote to shows each of them.
inline void appendReport(const std::wstring& path, const std::vector<std::pair<std::string, std::wstring>>& lines) {
  if (path.empty()) return;
  std::string block = "run\n";
  for (const auto& [key, value] : lines) block += key + "=" + utf8(value) + "\n";
  // Share mode 0 and a few tries: the runs of one test never overlap, but a
  // reader in the test may still be closing the file.
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      Sleep(20);
      continue;
    }
    DWORD written = 0;
    WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr);
    CloseHandle(file);
    return;
  }
}

}  // namespace standin
