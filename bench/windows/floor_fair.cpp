// Floor 3, the fair one: what Setup.exe does with its package at the least.
// Writes the payload out of its own bitmap resource 102 (straight from the
// loaded image, one write), inflates that file, writes the files, stamps,
// and deletes everything again.
//   floor_fair.exe WORK_DIRECTORY
#include <windows.h>

#include <cstring>

#include "bench_stamp.h"
#include "floor_package.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
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
