#include "support/setup_image.h"

#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string_view>

#include "archive_writer.h"
#include "bitmap_container.h"
#include "support/wine_support.h"
#include "system/unique_handle.h"

namespace tenvik::test {
namespace {

constexpr WORD kPayloadId = 102;

BOOL CALLBACK collectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) {
  reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
  return TRUE;
}

std::vector<WORD> resourceLanguages(const std::wstring& exe, const wchar_t* type, WORD id) {
  UniqueModule image(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  std::vector<WORD> languages;
  if (image) {
    EnumResourceLanguagesW(image.get(), type, MAKEINTRESOURCEW(id), collectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
  }
  return languages;
}

std::vector<WORD> payloadLanguages(const std::wstring& exe) { return resourceLanguages(exe, RT_BITMAP, kPayloadId); }

}  // namespace

std::string packageArchive(const std::vector<PackageEntry>& entries) {
  std::string archive;
  for (const auto& [name, data] : entries) {
    archive += packer::lengthField(static_cast<uint32_t>(name.size())) + name;
    archive += packer::lengthField(static_cast<uint32_t>(data.size())) + data;
  }
  return archive;
}

std::string gzipMember(const std::string& data) {
  z_stream stream = {};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&stream, data.size()) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

std::string payloadResource(const std::string& payload) {
  return packer::bitmapFile(payload).substr(packer::bitmapFileHeaderSize);
}

std::wstring setupWithResource(const std::wstring& dir, const std::string* resourceBytes,
                               const std::wstring& originalName) {
  const std::wstring exe = dir + L"\\Setup.exe";
  const std::wstring original = buildPath(
      !originalName.empty() ? originalName : resourceBytes ? L"Setup.exe" : L"standins\\SetupWithoutPayload.exe");
  if (!CopyFileW(original.c_str(), exe.c_str(), FALSE)) {
    throw std::runtime_error("cannot copy Setup.exe");
  }
  const std::vector<WORD> languages = payloadLanguages(exe);
  HANDLE update = BeginUpdateResourceW(exe.c_str(), FALSE);
  if (!update) throw std::runtime_error("BeginUpdateResourceW failed");
  if (resourceBytes) {
    // Replacing in the resource's own language keeps exactly one resource 102.
    const WORD language = languages.empty() ? MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) : languages.front();
    UpdateResourceW(update, RT_BITMAP, MAKEINTRESOURCEW(kPayloadId), language,
                    const_cast<char*>(resourceBytes->data()), static_cast<DWORD>(resourceBytes->size()));
  }
  if (!EndUpdateResourceW(update, FALSE)) throw std::runtime_error("EndUpdateResourceW failed");
  return exe;
}

void setDataResource(const std::wstring& exe, unsigned id, const std::string& bytes) {
  const std::vector<WORD> languages = resourceLanguages(exe, RT_RCDATA, static_cast<WORD>(id));
  HANDLE update = BeginUpdateResourceW(exe.c_str(), FALSE);
  if (!update) throw std::runtime_error("BeginUpdateResourceW failed");
  const WORD language = languages.empty() ? MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) : languages.front();
  UpdateResourceW(update, RT_RCDATA, MAKEINTRESOURCEW(id), language, const_cast<char*>(bytes.data()),
                  static_cast<DWORD>(bytes.size()));
  if (!EndUpdateResourceW(update, FALSE)) throw std::runtime_error("EndUpdateResourceW failed");
}

void changeImageSettings(const std::wstring& exe, const std::function<void(ImageSettings&)>& change) {
  std::optional<ImageSettings> settings = ImageSettings();
  {
    UniqueModule image(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!image) throw std::runtime_error("cannot load the image's resources");
    if (HRSRC found = FindResourceW(image.get(), MAKEINTRESOURCEW(kSettingsResourceId), RT_RCDATA)) {
      const HGLOBAL loaded = LoadResource(image.get(), found);
      const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
      if (!bytes) throw std::runtime_error("cannot read the settings resource");
      settings = parseImageSettings(std::string_view(bytes, SizeofResource(image.get(), found)));
    }
  }
  if (!settings) throw std::runtime_error("the image's settings are malformed");
  change(*settings);
  setDataResource(exe, kSettingsResourceId, formatImageSettings(*settings));
}

std::wstring setupWithPackage(const std::wstring& dir, const std::vector<PackageEntry>& entries,
                              const std::wstring& original) {
  const std::string resource = payloadResource(gzipMember(packageArchive(entries)));
  return setupWithResource(dir, &resource, original);
}

}  // namespace tenvik::test
