#include "source_folder.h"

#include <algorithm>
#include <cstdint>
#include <system_error>

#include "pack_error.h"
#include "platform_path.h"
#include "package/entry_name.h"

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

bool isInside(const fs::path& candidate, const fs::path& root) {
  const fs::path relative = candidate.lexically_relative(root);
  return !relative.empty() && *relative.begin() != ".." && relative != ".";
}

std::string entryNameOf(const fs::path& relative) {
  const std::string name = relative.generic_u8string();
  if (!isValidUtf8(name)) throw PackError("The name " + quoted(name) + " is not valid UTF-8");
  // On Windows the generic form already uses "/"; elsewhere a backslash is an
  // ordinary character that extraction would turn into a directory level.
  if (name.find('\\') != std::string::npos) {
    throw PackError("The name " + quoted(name) + " contains a backslash");
  }
  if (!isSafeEntryName(name)) {
    throw PackError("The name " + quoted(name) + " cannot be extracted on Windows");
  }
  return name;
}

// Where a symbolic link's bytes come from, checked to stay inside the folder.
fs::path linkTarget(const fs::path& link, const fs::path& canonicalFolder, const std::string& name) {
#ifdef _WIN32
  // The standard library cannot resolve a Windows link or junction, so where
  // it leads cannot be checked: it is not packed.
  (void)link;
  (void)canonicalFolder;
  throw PackError("The name " + quoted(name) + " is a link or junction, which is not followed on Windows");
#endif
  std::error_code error;
  const fs::path target = fs::canonical(link, error);
  if (error) throw PackError("The link " + quoted(name) + " points to nothing");
  if (fs::is_directory(target)) {
    throw PackError("The link " + quoted(name) + " points to a directory; such links are not followed");
  }
  if (!isInside(target, canonicalFolder)) {
    throw PackError("The link " + quoted(name) + " points outside the folder");
  }
  if (!fs::is_regular_file(target)) {
    throw PackError("The link " + quoted(name) + " does not point to a regular file");
  }
  return target;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    size_t length = 0;
    std::uint32_t codePoint = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      codePoint = lead & 0x07;
    } else {
      return false;
    }
    if (bytes.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      codePoint = codePoint << 6 | (next & 0x3F);
    }
    const bool overlong = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (overlong || surrogate || codePoint > 0x10FFFF) return false;
    i += length;
  }
  return true;
}

std::vector<SourceFile> collectSources(const fs::path& given, std::string_view entryName) {
  const fs::path folder = systemPath(given);
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    const bool exists = fs::exists(fs::symlink_status(folder, error));
    throw PackError("The folder " + quoted(given.u8string()) + (exists ? " is not a folder" : " does not exist"));
  }
  const fs::path canonicalFolder = walkRoot(folder);

  std::vector<SourceFile> files;
  // Links to directories are refused rather than followed: one back up the
  // tree would make the walk endless.
  try {
    for (const FolderItem& item : listTree(canonicalFolder)) {
      if (item.kind == FolderItem::directory) continue;
      const std::string name = entryNameOf(item.relative);
      if (item.kind == FolderItem::link) {
        files.push_back({name, linkTarget(item.path, canonicalFolder, name)});
      } else if (item.kind == FolderItem::file) {
        files.push_back({name, item.path});
      } else {
        throw PackError("The file " + quoted(name) + " is not a regular file");
      }
    }
  } catch (const fs::filesystem_error& failure) {
    const fs::path& where = failure.path1().empty() ? canonicalFolder : failure.path1();
    throw PackError("The folder " + quoted(displayPath(where)) + " cannot be read: " + failure.code().message());
  }

  std::sort(files.begin(), files.end(),
            [](const SourceFile& a, const SourceFile& b) { return a.name < b.name; });
  const auto entry = std::find_if(files.begin(), files.end(),
                                  [&](const SourceFile& f) { return f.name == entryName; });
  if (entry == files.end()) {
    throw PackError("The entry file " + quoted(std::string(entryName)) + " is not in the folder");
  }
  std::rotate(files.begin(), entry, entry + 1);
  return files;
}

}  // namespace tenvik::packer
