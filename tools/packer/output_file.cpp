#include "output_file.h"

#include <fstream>
#include <system_error>

#include "pack_error.h"

namespace fs = std::filesystem;

namespace tenvik::packer {

std::string readInputFile(const fs::path& path) {
  std::error_code error;
  if (fs::is_directory(path, error)) throw PackError("Cannot read \"" + path.u8string() + "\": it is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError("Cannot open \"" + path.u8string() + "\"");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw PackError("Cannot read \"" + path.u8string() + "\"");
  return bytes;
}

void writeOutput(const fs::path& path, const std::string& bytes) {
  fs::path partial = path;
  partial += ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(partial, ignored);
      throw PackError("Cannot write \"" + partial.u8string() + "\"");
    }
  }
  std::error_code error;
  fs::rename(partial, path, error);
  if (error) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    throw PackError("Cannot create \"" + path.u8string() + "\": " + error.message());
  }
}

}  // namespace tenvik::packer
