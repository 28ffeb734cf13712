#include "output_file.h"

#include <fstream>
#include <system_error>

#include "pack_error.h"
#include "platform_path.h"

namespace fs = std::filesystem;

namespace tenvik::packer {

std::string readInputFile(const fs::path& given) {
  const fs::path path = systemPath(given);
  std::error_code error;
  if (fs::is_directory(path, error)) throw PackError("Cannot read \"" + displayPath(path) + "\": it is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError("Cannot open \"" + displayPath(path) + "\"");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw PackError("Cannot read \"" + displayPath(path) + "\"");
  return bytes;
}

void writeOutput(const fs::path& given, const std::string& bytes) {
  const fs::path path = systemPath(given);
  fs::path partial = path;
  partial += ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(partial, ignored);
      throw PackError("Cannot write \"" + displayPath(partial) + "\"");
    }
  }
  std::error_code error;
  fs::rename(partial, path, error);
  if (error) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    throw PackError("Cannot create \"" + displayPath(path) + "\": " + error.message());
  }
}

}  // namespace tenvik::packer
