#pragma once
// The files of a published application folder, named and ordered as they go
// into the package archive.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tenvik::packer {

struct SourceFile {
  std::string name;             // relative, "/"-separated UTF-8
  std::filesystem::path path;   // where its bytes are read from
};

// Every regular file below folder: the one named entryName first (it becomes
// the launch target), then all others sorted byte-wise by name, so the same
// folder always gives the same archive. A symbolic link is packed under its
// own name with the content of its target when that target is a regular file
// inside folder. Throws PackError for the things extraction would get wrong
// or refuse: a missing entry file, a name extraction would not write, a name
// that is not UTF-8 or holds a backslash, a link to anything but a regular
// file inside folder, or any other kind of file (pipe, socket, device).
std::vector<SourceFile> collectSources(const std::filesystem::path& folder,
                                       std::string_view entryName);

// True when bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view bytes);

}  // namespace tenvik::packer
