// Floor 1: inflating the package file, nothing else.
//   floor_inflate.exe PACKAGE_FILE
#include <windows.h>

#include "floor_package.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  return bench::inflateOnly(argv[1]) > 0 ? 0 : 1;
}
