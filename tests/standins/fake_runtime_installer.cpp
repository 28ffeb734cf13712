// Stand-in for the .NET runtime installer that Setup.exe downloads and runs.
// A test serves this program's bytes as the download; it records how it was
// started, registers a version 6 runtime as told, and exits with a chosen code.
//
//   TENVIK_FAKE_INSTALLER_REPORT     Windows path of a report file; one block is
//                                    appended per run (UTF-8)
//   TENVIK_FAKE_INSTALLER_REGISTER   framework keys below HKEY_LOCAL_MACHINE,
//                                    separated by ';', to register a runtime
//                                    under; "none" or unset: register nothing
//   TENVIK_FAKE_INSTALLER_REGISTER_RUN<n>
//                                    the same for the n-th run (1, 2, ...) only,
//                                    counted from the blocks already in the
//                                    report; wins over the above when set
//   TENVIK_FAKE_INSTALLER_VERSION    value name to register; default 6.0.36
//   TENVIK_FAKE_INSTALLER_LOCATION   when set, InstallLocation (REG_SZ) of the
//                                    install key above each framework key's
//                                    "\sharedfx\"
//   TENVIK_FAKE_INSTALLER_SLEEP_MS   wait this long before registering; default 0
//   TENVIK_FAKE_INSTALLER_EXIT       exit code, decimal (may be negative) or
//                                    0x-hex; default 0
//   TENVIK_FAKE_INSTALLER_EXIT_RUN<n>
//                                    the same for the n-th run only, counted
//                                    as above; wins over the above when set
//   TENVIK_FAKE_INSTALLER_WAIT_FOR   Windows path of a file: before
//                                    registering, wait until it exists (two
//                                    minutes at most), as a long installation
//                                    would keep the machine busy
//   TENVIK_FAKE_INSTALLER_LAYOUT     Windows path of a runtime laid out by
//                                    tests/harness/real-runtime.sh: its tree
//                                    is copied into TENVIK_FAKE_INSTALLER_LOCATION
//                                    (required), then registered as the
//                                    vendor's installer registers it: each
//                                    shared\<framework>\<version> copied as a
//                                    value under <install key>\sharedfx\<framework>,
//                                    InstallLocation, and sharedhost's Version
//                                    (newest host\fxr) and Path. REGISTER and
//                                    VERSION are not used then.
//   TENVIK_FAKE_INSTALLER_INSTALL_KEY
//                                    the install key for LAYOUT; default
//                                    SOFTWARE\WOW6432Node\dotnet\Setup\InstalledVersions\x64
//   TENVIK_FAKE_INSTALLER_TRY_OWN_FILE
//                                    when set, try to open the program's own
//                                    file for writing and for deletion, as
//                                    any other process could, and report it
//
// Keys are written by the path the bootstrapper opens, so both 32-bit programs
// see the same redirection. A path that names SOFTWARE\WOW6432Node itself is
// written in the 64-bit view: Wine would otherwise create it one level deeper
// (WOW6432Node\WOW6432Node) than a 32-bit program opens it, there and on
// Windows alike.
//
// Report block:
//   run
//   command=<GetCommandLineW, whole>
//   directory=<current directory>
//   module=<own file name>
//   registered=<framework keys registered, ';'-separated; empty for none>
//   laid_out=<framework/version copied, ';'-separated>  with LAYOUT only
//   own_file_write=<denied|allowed>    with TRY_OWN_FILE only
//   own_file_delete=<denied|allowed>   with TRY_OWN_FILE only
//   env.<NAME>=<value>                 each variable of environmentReport that is set

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/runtime_rule.h"
#include "standin_report.h"

namespace {

std::vector<std::wstring> split(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts;
  std::wstring::size_type start = 0;
  while (start <= text.size()) {
    const auto end = text.find(separator, start);
    const std::wstring part = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (!part.empty()) parts.push_back(part);
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return parts;
}

int runsRecorded(const std::wstring& reportPath) {
  const std::string report = standin::readAll(reportPath);
  int runs = 0;
  std::string::size_type line = 0;
  while (line < report.size()) {
    const auto end = report.find('\n', line);
    if (report.compare(line, (end == std::string::npos ? report.size() : end) - line, "run") == 0) ++runs;
    if (end == std::string::npos) break;
    line = end + 1;
  }
  return runs;
}

bool setValue(const std::wstring& keyPath, const std::wstring& name, DWORD type, const void* data, DWORD bytes) {
  const REGSAM view = keyPath.rfind(L"SOFTWARE\\WOW6432Node\\", 0) == 0 ? KEY_WOW64_64KEY : 0;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool ok = RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

bool registerRuntime(const std::wstring& frameworkKey, const std::wstring& version, const std::wstring& location) {
  const DWORD present = 1;
  if (!setValue(frameworkKey, version, REG_DWORD, &present, sizeof(present))) return false;
  if (location.empty()) return true;
  const auto sharedfx = frameworkKey.find(L"\\sharedfx\\");
  if (sharedfx == std::wstring::npos) return false;
  return setValue(frameworkKey.substr(0, sharedfx), L"InstallLocation", REG_SZ, location.c_str(),
                  static_cast<DWORD>((location.size() + 1) * sizeof(wchar_t)));
}

// The version order the product's own rules use; names that do not read as
// versions never win.
bool newerVersion(const std::wstring& a, const std::wstring& b) {
  const auto left = tenvik::parseRuntimeVersion(standin::utf8(a));
  const auto right = tenvik::parseRuntimeVersion(standin::utf8(b));
  return left && (!right || tenvik::compareRuntimeVersions(*left, *right) > 0);
}

std::vector<std::wstring> subfolders(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

bool copyTree(const std::wstring& from, const std::wstring& to) {
  CreateDirectoryW(to.c_str(), nullptr);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = copyTree(from + L"\\" + name, to + L"\\" + name) && ok;
    } else {
      ok = CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE) && ok;
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return ok;
}

// Copies the laid-out runtime and registers what it copied; returns the
// frameworks as "name/version;..." (empty when the copy failed).
std::wstring layOutRuntime(const std::wstring& source, std::wstring location, const std::wstring& installKey) {
  while (!location.empty() && location.back() == L'\\') location.pop_back();
  if (location.empty() || !copyTree(source, location)) return std::wstring();
  const DWORD present = 1;
  std::wstring laidOut;
  for (const std::wstring& framework : subfolders(source + L"\\shared")) {
    for (const std::wstring& version : subfolders(source + L"\\shared\\" + framework)) {
      setValue(installKey + L"\\sharedfx\\" + framework, version, REG_DWORD, &present, sizeof(present));
      laidOut += (laidOut.empty() ? L"" : L";") + framework + L"/" + version;
    }
  }
  const std::wstring path = location + L"\\";
  const auto bytes = [](const std::wstring& text) { return static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)); };
  setValue(installKey, L"InstallLocation", REG_SZ, path.c_str(), bytes(path));
  std::wstring newestHost;
  for (const std::wstring& version : subfolders(location + L"\\host\\fxr")) {
    if (newestHost.empty() || newerVersion(version, newestHost)) newestHost = version;
  }
  setValue(installKey + L"\\sharedhost", L"Version", REG_SZ, newestHost.c_str(), bytes(newestHost));
  setValue(installKey + L"\\sharedhost", L"Path", REG_SZ, path.c_str(), bytes(path));
  return laidOut;
}

// Opens path with access, sharing everything, and closes it again at once.
std::wstring openOutcome(const wchar_t* path, DWORD access) {
  HANDLE file = CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return L"denied";
  CloseHandle(file);
  return L"allowed";
}

}  // namespace

int main() {
  const std::wstring reportPath = standin::variable(L"TENVIK_FAKE_INSTALLER_REPORT");
  const int run = runsRecorded(reportPath) + 1;

  std::wstring keys = standin::variable((L"TENVIK_FAKE_INSTALLER_REGISTER_RUN" + std::to_wstring(run)).c_str());
  if (keys.empty()) keys = standin::variable(L"TENVIK_FAKE_INSTALLER_REGISTER");
  if (keys == L"none") keys.clear();
  std::wstring version = standin::variable(L"TENVIK_FAKE_INSTALLER_VERSION");
  if (version.empty()) version = L"6.0.36";
  const std::wstring location = standin::variable(L"TENVIK_FAKE_INSTALLER_LOCATION");

  const DWORD sleepMs = standin::exitCodeFrom(L"TENVIK_FAKE_INSTALLER_SLEEP_MS", 0);
  if (sleepMs > 0) Sleep(sleepMs);
  standin::waitForFile(standin::variable(L"TENVIK_FAKE_INSTALLER_WAIT_FOR"));

  const std::wstring layout = standin::variable(L"TENVIK_FAKE_INSTALLER_LAYOUT");
  std::wstring installKey = standin::variable(L"TENVIK_FAKE_INSTALLER_INSTALL_KEY");
  if (installKey.empty()) installKey = L"SOFTWARE\\WOW6432Node\\dotnet\\Setup\\InstalledVersions\\x64";
  std::wstring laidOut;
  if (!layout.empty()) {
    laidOut = layOutRuntime(layout, location, installKey);
    keys.clear();
  }

  std::wstring registered;
  for (const std::wstring& key : split(keys, L';')) {
    if (!registerRuntime(key, version, location)) continue;
    if (!registered.empty()) registered += L';';
    registered += key;
  }

  wchar_t module[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH * 4);
  std::vector<std::pair<std::string, std::wstring>> report = {{"command", GetCommandLineW()},
                                                               {"directory", standin::currentDirectory()},
                                                               {"module", module},
                                                               {"registered", registered}};
  if (!layout.empty()) report.push_back({"laid_out", laidOut});
  if (!standin::variable(L"TENVIK_FAKE_INSTALLER_TRY_OWN_FILE").empty()) {
    report.push_back({"own_file_write", openOutcome(module, GENERIC_WRITE)});
    report.push_back({"own_file_delete", openOutcome(module, DELETE)});
  }
  for (const auto& line : standin::environmentReport()) report.push_back(line);
  standin::appendReport(reportPath, report);
  const std::wstring exitForRun = L"TENVIK_FAKE_INSTALLER_EXIT_RUN" + std::to_wstring(run);
  if (!standin::variable(exitForRun.c_str()).empty()) {
    return static_cast<int>(standin::exitCodeFrom(exitForRun.c_str(), 0));
  }
  return static_cast<int>(standin::exitCodeFrom(L"TENVIK_FAKE_INSTALLER_EXIT", 0));
}
