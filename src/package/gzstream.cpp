#include "package/gzstream.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include <string>
#endif

namespace tenvik {

namespace {

// Paths arrive as UTF-8. On Windows zlib's narrow gzopen reads them in the
// ANSI code page, which loses every character outside it, so the path goes
// to zlib as UTF-16 there.
gzFile openGzipFile(const char* path) {
#ifdef _WIN32
  const int length = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
  if (length <= 0) return nullptr;
  std::wstring widePath(static_cast<size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_UTF8, 0, path, -1, widePath.data(), length) <= 0) return nullptr;
  return gzopen_w(widePath.c_str(), "rb");
#else
  return gzopen(path, "rb");
#endif
}

}  // namespace

gzstreambuf::gzstreambuf() {
  setg(buffer_ + putbackSize, buffer_ + putbackSize, buffer_ + putbackSize);
  // No put area: a put area over the buffer would let sputc succeed without
  // ever reaching overflow and scribble over the putback bytes.
  setp(nullptr, nullptr);
}

gzstreambuf::~gzstreambuf() { close(); }

gzstreambuf* gzstreambuf::open(const char* path, std::ios_base::openmode mode) {
  if (opened_) return nullptr;
  mode_ = mode;
  file_ = openGzipFile(path);
  if (file_ == nullptr) return nullptr;
  opened_ = true;
  return this;
}

gzstreambuf* gzstreambuf::close() {
  if (!opened_) return nullptr;
  sync();
  opened_ = false;
  // The file is only ever open for reading; gzclose would bring zlib's
  // whole compression side into the program for its writing branch.
  gzclose_r(file_);
  file_ = nullptr;
  return this;
}

gzstreambuf::int_type gzstreambuf::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (!(mode_ & std::ios_base::in) || !opened_) return traits_type::eof();

  // Keep the last few bytes read in front of the new data, so that unget and
  // putback still work right after a refill.
  int kept = static_cast<int>(gptr() - eback());
  if (kept > putbackSize) kept = putbackSize;
  std::memmove(buffer_ + (putbackSize - kept), gptr() - kept, static_cast<size_t>(kept));

  const int got = gzread(file_, buffer_ + putbackSize, bufferSize - putbackSize);
  // zlib reports a damaged member or a failed trailer check as -1 and the end
  // of the data as 0: both end the stream here. A file cut short also reads
  // as 0; only gzerror tells it from the regular end.
  if (got <= 0) {
    if (end_ == End::notYet) end_ = got == 0 && endedWithoutError() ? End::clean : End::failed;
    return traits_type::eof();
  }

  setg(buffer_ + (putbackSize - kept), buffer_ + putbackSize, buffer_ + putbackSize + got);
  return traits_type::to_int_type(*gptr());
}

bool gzstreambuf::endedWithoutError() const {
  int error = Z_OK;
  gzerror(file_, &error);
  // Data that is not gzip passes through with nothing to check it against.
  return error == Z_OK && !gzdirect(file_);
}

long long gzstreambuf::compressed_offset() const {
  if (!opened_) return 0;
  const z_off_t offset = gzoffset(file_);
  return offset < 0 ? 0 : static_cast<long long>(offset);
}

gzstreambuf::int_type gzstreambuf::overflow(int_type) {
  // zlib is only ever asked to open files for reading ("rb"), so there is
  // nowhere a written byte could go.
  return traits_type::eof();
}

// Nothing can ever be put, so there is never anything to flush.
int gzstreambuf::sync() { return 0; }

gzstreambase::gzstreambase(const char* path, std::ios_base::openmode mode) {
  init(&buffer_);
  if (buffer_.open(path, mode | std::ios_base::in) == nullptr) setstate(std::ios_base::badbit);
}

gzstreambase::~gzstreambase() { buffer_.close(); }

igzstream::igzstream(const char* path)
    : gzstreambase(path, std::ios_base::in), std::istream(&buffer_) {
  // Building the istream part re-initialises the shared state to good, which
  // would hide a failed open from the reader.
  if (!buffer_.is_open()) setstate(std::ios_base::badbit);
}

}  // namespace tenvik
