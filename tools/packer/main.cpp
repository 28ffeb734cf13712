#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "packer.h"

#ifdef _WIN32
#include "console_stream.h"
#else
#include <unistd.h>
#endif

// Windows hands over the command line as UTF-16; the packer works in UTF-8
// throughout, so names with any characters survive on both platforms.
#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(std::filesystem::path(argv[i]).u8string());
  std::ostream& out = tenvik::packer::consoleStream(true);
  std::ostream& err = tenvik::packer::consoleStream(false);
  const int code = tenvik::packer::runPacker(arguments, out, err, tenvik::packer::isConsoleStream(false));
  out.flush();
  err.flush();
  return code;
}
#else
int main(int argc, char** argv) {
  return tenvik::packer::runPacker(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                                   isatty(fileno(stderr)) != 0);
}
#endif
