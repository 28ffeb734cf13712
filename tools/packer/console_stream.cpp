#include "console_stream.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>

#include "utf_text.h"

namespace tenvik::packer {
namespace {

// The length of the longest prefix of text that ends on a whole UTF-8
// sequence; a sequence cut off at the end is held back for the next write.
std::size_t wholeSequences(const std::string& text) {
  const std::size_t size = text.size();
  for (std::size_t back = 1; back <= 4 && back <= size; ++back) {
    const auto byte = static_cast<unsigned char>(text[size - back]);
    if ((byte & 0xC0) == 0x80) continue;
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? size - back : size;
  }
  return size;  // malformed: the conversion replaces it
}

}  // namespace

ConsoleBuffer::ConsoleBuffer(void* handle) : handle_(handle) {
  DWORD mode = 0;
  console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode) != 0;
  // The progress line clears the rest of its line with an escape sequence;
  // consoles before Windows 10 refuse the mode and show it as text, as
  // they would anyway.
  if (console_) SetConsoleMode(handle_, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

ConsoleBuffer::~ConsoleBuffer() { flushPending(); }

ConsoleBuffer::int_type ConsoleBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_.push_back(traits_type::to_char_type(c));
  if (c == '\n' && !flushPending()) return traits_type::eof();
  return c;
}

std::streamsize ConsoleBuffer::xsputn(const char* text, std::streamsize count) {
  pending_.append(text, static_cast<std::size_t>(count));
  if (pending_.find('\n') != std::string::npos && !flushPending()) return 0;
  return count;
}

int ConsoleBuffer::sync() { return flushPending() ? 0 : -1; }

bool ConsoleBuffer::flushPending() {
  if (pending_.empty()) return true;
  if (!console_) {
    std::size_t done = 0;
    while (done < pending_.size()) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(pending_.size() - done, 1u << 20));
      if (!WriteFile(handle_, pending_.data() + done, chunk, &written, nullptr) || written == 0) {
        pending_.clear();
        return false;
      }
      done += written;
    }
    pending_.clear();
    return true;
  }
  const std::size_t whole = wholeSequences(pending_);
  const std::u16string wide = utf16FromUtf8(std::string_view(pending_).substr(0, whole));
  pending_.erase(0, whole);
  std::size_t done = 0;
  while (done < wide.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
    if (!WriteConsoleW(handle_, reinterpret_cast<const wchar_t*>(wide.data()) + done, chunk, &written,
                       nullptr) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

std::ostream& consoleStream(bool out) {
  static ConsoleBuffer outBuffer(GetStdHandle(STD_OUTPUT_HANDLE));
  static ConsoleBuffer errBuffer(GetStdHandle(STD_ERROR_HANDLE));
  static std::ostream outStream(&outBuffer);
  static std::ostream errStream(&errBuffer);
  return out ? outStream : errStream;
}

bool isConsoleStream(bool out) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace tenvik::packer
#endif
