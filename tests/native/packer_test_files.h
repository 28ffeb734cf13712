#pragma once
// Whole files in and out, for the packer's tests.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tenvik::packer::test {

inline std::string readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Creates the parent folders first.
inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace tenvik::packer::test
