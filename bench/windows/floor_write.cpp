// Floor 2: inflating the package file, writing its files, deleting them.
//   floor_write.exe PACKAGE_FILE WORK_DIRECTORY
// Stamps when the last file is written.
#include <windows.h>

#include "bench_stamp.h"
#include "floor_package.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  bench::WrittenTree tree;
  tree.root = argv[2];
  CreateDirectoryW(tree.root.c_str(), nullptr);
  const int written = bench::inflateAndWrite(argv[1], tree);
  bench::writeStamp();
  bench::deleteTree(tree);
  return written > 0 ? 0 : 1;
}
