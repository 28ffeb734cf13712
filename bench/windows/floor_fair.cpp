// Floor 3, the fair one: what Setup.exe does with its package at the least.
// Writes the payload out of its own bitmap resource 102 (straight from the
// loaded image, one write), inflates that file, writes the files, stamps,
// and deletes everything again.
//   floor_fair.exe WORK_DIRECTORY
// Built a second time as floor_fair_dlls.exe (FLOOR_WITH_SETUP_DLLS): the
// same, plus the system DLLs Setup.exe cannot do without and the calls that
// bring them to life, so the report can tell their cost apart.
// Built a third time as floor_fair_host.exe (FLOOR_STARTS_HOST): the fair
// floor that, once its files are written, also starts the runtime host as
// Setup.exe does (CreateProcessW, hidden, the work directory as its current
// directory) and waits for it before it deletes the files:
//   floor_fair_host.exe WORK_DIRECTORY HOST
#include <windows.h>

#include <cstring>

#ifdef FLOOR_WITH_SETUP_DLLS
#include <knownfolders.h>
#include <shlobj.h>

namespace {

// What Setup.exe asks of user32, shell32, ole32 and advapi32 before it
// unpacks: the busy cursor, the ProgramData folder, one registry look-up.
void bringUpSetupDlls() {
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32650)));
  PWSTR folder = nullptr;
  SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &folder);
  CoTaskMemFree(folder);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft", 0, KEY_READ, &key) == ERROR_SUCCESS) RegCloseKey(key);
}

}  // namespace
#endif

#include "bench_stamp.h"
#include "floor_package.h"

#ifdef FLOOR_STARTS_HOST
namespace {

bool runHost(const wchar_t* host, const std::wstring& workDirectory) {
  std::wstring commandLine = L"\"" + std::wstring(host) + L"\" " + workDirectory + L"\\Bench.App.dll";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(host, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, workDirectory.c_str(), &startup,
                      &process)) {
    return false;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace
#endif

int wmain(int argc, wchar_t** argv) {
#ifdef FLOOR_STARTS_HOST
  if (argc != 3) return 2;
#else
  if (argc != 2) return 2;
#endif
#ifdef FLOOR_WITH_SETUP_DLLS
  bringUpSetupDlls();
#endif
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(102), RT_BITMAP);
  if (found == nullptr) return 3;
  const char* resource = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  unsigned length = 0;
  std::memcpy(&length, resource + 40, 4);

  bench::WrittenTree tree;
  tree.root = argv[1];
  CreateDirectoryW(tree.root.c_str(), nullptr);
  const std::wstring package = tree.root + L"\\.package";
  if (!bench::writeWhole(package, resource + 44, length)) return 4;
  tree.files.push_back(package);
  const int written = bench::inflateAndWrite(package, tree);
  bench::writeStamp();
#ifdef FLOOR_STARTS_HOST
  // The host's own stamp replaces the floor's: the moment the host started.
  if (!runHost(argv[2], tree.root)) return 5;
#endif
  bench::deleteTree(tree);
  return written > 0 ? 0 : 1;
}
