#pragma once
// Where tenvik-pack's output goes on Windows. The packer writes UTF-8; a
// console shows text in its own code page, which is seldom UTF-8, so text for
// a console is handed over as UTF-16 (WriteConsoleW). A pipe or file gets the
// UTF-8 bytes unchanged, without "\n" becoming "\r\n", so JSON and messages
// read the same as the Linux build's.

#include <ostream>
#include <streambuf>
#include <string>

namespace tenvik::packer {

#ifdef _WIN32
class ConsoleBuffer : public std::streambuf {
 public:
  // handle: STD_OUTPUT_HANDLE's or STD_ERROR_HANDLE's value. The handle is
  // borrowed, never closed.
  explicit ConsoleBuffer(void* handle);
  ~ConsoleBuffer() override;
  ConsoleBuffer(const ConsoleBuffer&) = delete;
  ConsoleBuffer& operator=(const ConsoleBuffer&) = delete;

  bool isConsole() const { return console_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  // Writes what is pending; for a console only up to the last whole UTF-8
  // sequence, the rest waits for its remaining bytes.
  bool flushPending();

  void* handle_;
  bool console_ = false;
  std::string pending_;
};

// The standard handle's stream (out: standard output, else standard error),
// set up once for the program's lifetime.
std::ostream& consoleStream(bool out);
// True when the standard handle is a console (a terminal).
bool isConsoleStream(bool out);
#endif

}  // namespace tenvik::packer
