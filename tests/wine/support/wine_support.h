#pragma once
// Helpers for tests that run as Windows programs under Wine: where the build
// lies, running programs with a time limit, seeding the registry and looking
// at files. Everything here works on the real platform, no mocks.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tenvik::test {

// The Windows path of a file below the build or source tree, from the
// TENVIK_BUILD_DIR / TENVIK_SOURCE_DIR variables the test runner sets.
std::wstring buildPath(const std::wstring& relative);
std::wstring sourcePath(const std::wstring& relative);

// A Linux path as the prefix sees it (Z: maps the Linux root).
std::wstring windowsPathOf(const std::string& unixPath);
// The Linux path of a Windows path in the prefix, for the rare test that must
// look from outside; empty when Wine cannot map it.
std::string unixPathOf(const std::wstring& windowsPath);

// Plants a Unix symbolic link at link pointing to target (both Windows paths
// in the prefix), with the Linux ln that Wine starts like any program: Wine
// cannot make a link from Windows code, and shows a Unix link to a directory
// as a reparse point. removeUnixLink takes it away again. Both true on success.
bool makeUnixLink(const std::wstring& target, const std::wstring& link);
bool removeUnixLink(const std::wstring& link);

std::wstring environmentVariable(const std::wstring& name);
std::wstring knownFolder(const GUID& id);
std::wstring programDataPath();
std::wstring tempPath();  // GetTempPathW, with its trailing backslash

struct RunResult {
  bool started = false;
  bool timedOut = false;  // the program was killed at the time limit
  DWORD exitCode = 0;     // the full 32-bit code, unlike the Linux side sees it
};

// Runs exe with the command-line tail args (appended after the quoted exe
// path and one blank, unless empty) and waits up to timeoutMs.
RunResult runProgram(const std::wstring& exe, const std::wstring& args, DWORD timeoutMs = 60000,
                     const std::wstring& workingDirectory = L"");

// Registry seeding under HKEY_LOCAL_MACHINE or any root. view is 0 (the
// process's own view), KEY_WOW64_64KEY or KEY_WOW64_32KEY.
void setRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                      const std::vector<uint8_t>& data, REGSAM view = 0);
void setRegistryString(HKEY root, const std::wstring& key, const std::wstring& name,
                       const std::wstring& value, DWORD type = REG_SZ, REGSAM view = 0);
// Stores exactly these bytes, even a string without its terminating zero.
void setRegistryRawString(HKEY root, const std::wstring& key, const std::wstring& name,
                          const std::vector<uint8_t>& bytes, DWORD type = REG_SZ, REGSAM view = 0);
void setRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value,
                      REGSAM view = 0);
void createRegistryKey(HKEY root, const std::wstring& key, REGSAM view = 0);
void deleteRegistryTree(HKEY root, const std::wstring& key, REGSAM view = 0);

// Files.
bool fileExists(const std::wstring& path);
bool directoryExists(const std::wstring& path);
std::string readFileBytes(const std::wstring& path);  // empty when missing
void writeFileBytes(const std::wstring& path, const std::string& bytes);
void deleteTree(const std::wstring& path);

// The DACL of path in its text form ("D:(A;OICI;FA;;;SY)..."), for messages.
std::wstring daclText(const std::wstring& path);
// True when the DACL grants SYSTEM and nobody of Everyone, Users,
// Authenticated Users or interactive users anything. Under Wine, which
// rebuilds the DACL from Unix mode bits, this tells a folder made with the
// protected descriptor from one made with none.
bool grantsOthersNothing(const std::wstring& path);
// A new empty directory below the temporary directory, with an ASCII name.
std::wstring makeScratchDirectory(const std::wstring& hint);
// Names of the files below root, relative, "\\"-separated, sorted.
std::vector<std::wstring> listFilesRecursive(const std::wstring& root);
// Full paths of what the product folder path was moved aside to: the
// entries beside it named "<its name>.<16 hex digits>", sorted.
std::vector<std::wstring> movedAsideCopies(const std::wstring& path);

// UTF-8 <-> UTF-16 for test data and stand-in reports.
std::string narrow(const std::wstring& text);
std::wstring widen(const std::string& utf8);

}  // namespace tenvik::test
