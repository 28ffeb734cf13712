#include "system/held_file.h"

namespace tenvik {

UniqueFileHandle holdFile(const std::wstring& path) {
  // No FILE_SHARE_WRITE and no FILE_SHARE_DELETE: the two ways to change what
  // the path names. Our own access is reading alone: CreateProcessW opens the
  // image without sharing writes, and a program that reads its own file
  // (a bundle reading its attached payload) seldom shares deletion, so holding
  // write or delete access ourselves would lock them out.
  return UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool deleteHeldFile(UniqueFileHandle& file, const std::wstring& path) {
  // Deleting through the handle would need delete access for the whole time
  // it is held (see above). Between closing and deleting, the file no longer
  // matters: it is never started again.
  file.reset();
  return DeleteFileW(path.c_str()) != FALSE;
}

}  // namespace tenvik
