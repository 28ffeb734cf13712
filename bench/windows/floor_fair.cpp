// Floor 3, the fair one: what Setup.exe does with its package at the least.
// Writes the payload out of its own bitmap resource 102 (straight from the
// loaded image, one write), inflates that file, writes the files, stamps,
// and deletes everything again.
//   floor_fair.exe WORK_DIRECTORY
// Built a second time as floor_fair_dlls.exe (FLOOR_WITH_SETUP_DLLS): the
// same, plus the system DLLs Setup.exe cannot do without and the calls that
// bring them to life, so the report can tell their cost apart.
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

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
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
  bench::deleteTree(tree);
  return written > 0 ? 0 : 1;
}
