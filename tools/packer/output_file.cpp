#include "output_file.h"

#include <fstream>
#include <system_error>

#include "pack_error.h"
#include "platform_path.h"

namespace fs = std::filesystem;

namespace tenvik::packer {

// Messages name the path as it was given, not its long form.
std::string readInputFile(const fs::path& given) {
  const fs::path path = systemPath(given);
  std::error_code error;
  if (fs::is_directory(path, error)) throw PackError("Cannot read \"" + given.u8string() + "\": it is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError("Cannot open \"" + given.u8string() + "\"");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw PackError("Cannot read \"" + given.u8string() + "\"");
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
      throw PackError("Cannot write \"" + given.u8string() + ".partial" + "\"");
    }
  }
  std::error_code error;
  fs::rename(partial, path, error);
  if (error) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    throw PackError("Cannot create \"" + given.u8string() + "\": " + error.message());
  }
}

}  // namespace tenvik::packer
