#pragma once
// What any program that unpacks our package must do at the least, done the
// cheapest way the platform offers: zlib reads the gzip file in 1 MiB (or
// whole-entry) pieces straight into one reused buffer, every file goes out
// in one large write, and the tree is deleted file by file with the plain
// file API. The floors are built from these pieces.

#include <windows.h>
#include <zlib.h>

#include <set>
#include <string>
#include <vector>

namespace bench {

// Everything a floor wrote, so it can delete exactly that again.
struct WrittenTree {
  std::wstring root;
  std::vector<std::wstring> files;
  std::vector<std::wstring> directories;  // parents before children
  std::set<std::wstring> known;
};

inline bool writeWhole(const std::wstring& path, const char* data, size_t size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
  return ok && written == size;
}

inline void makeParents(WrittenTree& tree, const std::wstring& name) {
  for (size_t slash = name.find(L'\\'); slash != std::wstring::npos; slash = name.find(L'\\', slash + 1)) {
    const std::wstring directory = tree.root + L"\\" + name.substr(0, slash);
    if (tree.known.insert(directory).second) {
      CreateDirectoryW(directory.c_str(), nullptr);
      tree.directories.push_back(directory);
    }
  }
}

inline bool readExactly(gzFile in, char* to, unsigned size) {
  while (size > 0) {
    const int got = gzread(in, to, size);
    if (got <= 0) return false;
    to += got;
    size -= static_cast<unsigned>(got);
  }
  return true;
}

inline bool readLength(gzFile in, unsigned& length) {
  unsigned char bytes[4];
  if (!readExactly(in, reinterpret_cast<char*>(bytes), 4)) return false;
  length = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<unsigned>(bytes[3]) << 24;
  return true;
}

// Inflates the package at packagePath and writes its entries below
// tree.root. Returns the number of files written.
inline int inflateAndWrite(const std::wstring& packagePath, WrittenTree& tree) {
  gzFile in = gzopen_w(packagePath.c_str(), "rb");
  if (in == nullptr) return 0;
  std::vector<char> buffer;
  int count = 0;
  unsigned nameLength = 0;
  while (readLength(in, nameLength)) {
    std::string name(nameLength, '\0');
    unsigned dataLength = 0;
    if (!readExactly(in, name.data(), nameLength) || !readLength(in, dataLength)) break;
    if (buffer.size() < dataLength) buffer.resize(dataLength);
    if (!readExactly(in, buffer.data(), dataLength)) break;
    std::wstring wide(name.begin(), name.end());  // the names are ASCII
    for (auto& unit : wide) {
      if (unit == L'/') unit = L'\\';
    }
    makeParents(tree, wide);
    const std::wstring path = tree.root + L"\\" + wide;
    if (writeWhole(path, buffer.data(), dataLength)) {
      if (tree.known.insert(path).second) tree.files.push_back(path);
      ++count;
    }
  }
  gzclose_r(in);
  return count;
}

// Inflates only: 1 MiB reads into one buffer, nothing kept.
inline long long inflateOnly(const std::wstring& packagePath) {
  gzFile in = gzopen_w(packagePath.c_str(), "rb");
  if (in == nullptr) return -1;
  std::vector<char> buffer(1 << 20);
  long long total = 0;
  for (int got; (got = gzread(in, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0;) total += got;
  gzclose_r(in);
  return total;
}

inline void deleteTree(const WrittenTree& tree) {
  for (const auto& file : tree.files) DeleteFileW(file.c_str());
  for (auto it = tree.directories.rbegin(); it != tree.directories.rend(); ++it) RemoveDirectoryW(it->c_str());
  RemoveDirectoryW(tree.root.c_str());
}

}  // namespace bench
