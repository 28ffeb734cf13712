#pragma once
// An input stream whose bytes are the decompressed content of a gzip file.
// zlib's gz reading interface does the file access, header parsing, inflate
// and the CRC-32 and length check of each member's trailer; these classes put
// it behind the standard stream operations. Data that is not gzip passes
// through unchanged, and members stored one after another read as one stream.
// A damaged or truncated file simply ends the stream early: the reader sees
// end-of-file (and failbit after a short read), never an exception; the
// stream buffer tells afterwards whether the data ended cleanly.

#include <zlib.h>

#include <ios>
#include <istream>
#include <streambuf>

namespace tenvik {

class gzstreambuf : public std::streambuf {
 public:
  gzstreambuf();
  ~gzstreambuf() override;

  gzstreambuf(const gzstreambuf&) = delete;
  gzstreambuf& operator=(const gzstreambuf&) = delete;

  // Opens path (narrow text, passed to zlib as it is) for reading. Returns
  // this, or null when the buffer is already open or zlib cannot open it.
  gzstreambuf* open(const char* path, std::ios_base::openmode mode);
  // Returns this, or null when nothing was open.
  gzstreambuf* close();
  bool is_open() const { return opened_; }
  // True once the data has run out at its regular end: every member inflated
  // and its trailer (CRC-32 and length) checked out, and the data was gzip,
  // not passed through unchecked. False before the end was reached, and
  // after damaged, truncated or unchecked data.
  bool ended_cleanly() const { return end_ == End::clean; }
  // How far into the file zlib has read and used, in bytes; 0 when nothing
  // is open. Reaches the file's size once the data has been read through.
  long long compressed_offset() const;

 protected:
  int_type overflow(int_type c) override;
  int_type underflow() override;
  int sync() override;

 private:
  bool endedWithoutError() const;

  static constexpr int putbackSize = 4;
  static constexpr int bufferSize = 303;  // putback area + one refill

  enum class End { notYet, clean, failed };

  gzFile file_ = nullptr;
  End end_ = End::notYet;
  char buffer_[bufferSize];
  bool opened_ = false;
  std::ios_base::openmode mode_ = std::ios_base::openmode();
};

// Owns the stream buffer, so that it is built before the stream that reads
// from it and closed before that stream is gone.
class gzstreambase : virtual public std::ios {
 public:
  // Opens path; a failed open sets badbit.
  gzstreambase(const char* path, std::ios_base::openmode mode);
  ~gzstreambase() override;

  gzstreambuf* rdbuf() { return &buffer_; }

 protected:
  gzstreambuf buffer_;
};

// The file is opened by the constructor and closed by the destructor. A file
// that cannot be opened leaves the stream bad, so the first peek or read
// reports end-of-file without touching zlib.
class igzstream : public gzstreambase, public std::istream {
 public:
  explicit igzstream(const char* path);

  gzstreambuf* rdbuf() { return gzstreambase::rdbuf(); }
};

}  // namespace tenvik
