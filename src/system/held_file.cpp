#include "system/held_file.h"

namespace tenvik {

UniqueFileHandle holdFile(const std::wstring& path) {
  // No FILE_SHARE_WRITE and no FILE_SHARE_DELETE: the two ways to change what
  // the path names. Our own access stays without write rights, since
  // CreateProcessW opens the image without sharing writes and would fail.
  return UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool deleteHeldFile(UniqueFileHandle& file, const std::wstring& path) {
  if (!file) return false;
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  const bool marked =
      SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
  file.reset();  // a marked file goes when its last handle closes
  if (marked) return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
  return DeleteFileW(path.c_str()) != FALSE;
}

}  // namespace tenvik
