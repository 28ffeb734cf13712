#include "package/payload_resource.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "package/payload_container.h"
#include "system/file_system.h"

namespace tenvik {
namespace {

constexpr WORD payloadResourceId = 102;

// The bytes of the payload resource in the loaded image, or nothing when the
// executable has no such resource.
std::optional<std::string_view> payloadResource() {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(payloadResourceId), RT_BITMAP);
  if (found == nullptr) return std::nullopt;
  // Resource handles are not real HGLOBALs, so they are neither unlocked nor
  // freed: the data stays mapped with the image for the life of the process.
  HGLOBAL loaded = LoadResource(nullptr, found);
  if (loaded == nullptr) return std::nullopt;
  const void* data = LockResource(loaded);
  const DWORD size = SizeofResource(nullptr, found);
  if (data == nullptr || size == 0) return std::nullopt;
  return std::string_view(static_cast<const char*>(data), size);
}

}  // namespace

void writePayload(const std::wstring& packagePath) {
  const auto resource = payloadResource();
  if (!resource) return;
  // The size the platform records bounds the length field, so a damaged
  // field cannot make us read past the end of the image.
  const auto payload = decodePayload(*resource);
  if (!payload) return;
  writeFile(packagePath, std::string(*payload));
}

}  // namespace tenvik
