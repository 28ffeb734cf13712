#include "system/image_resource.h"

namespace tenvik {

std::optional<std::string_view> imageResource(const wchar_t* type, unsigned id) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
  if (found == nullptr) return std::nullopt;
  // Resource handles are not real HGLOBALs, so they are neither unlocked nor
  // freed: the data stays mapped with the image.
  HGLOBAL loaded = LoadResource(nullptr, found);
  if (loaded == nullptr) return std::nullopt;
  const DWORD size = SizeofResource(nullptr, found);
  const void* data = LockResource(loaded);
  if (data == nullptr && size != 0) return std::nullopt;
  return std::string_view(static_cast<const char*>(data), size);
}

}  // namespace tenvik
