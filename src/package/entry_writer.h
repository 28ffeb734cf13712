#pragma once
// Writes the entries of a package to disk on a thread of its own, one at a
// time and in the order given, so that the next entry is inflated while the
// last one is written. At most one entry waits to be written: the memory in
// use is that of two entries, and an entry larger than kLargestHandedOver is
// written on the caller's thread instead, once the one in flight is done, so
// two huge entries never need room at once.

#include <windows.h>

#include <cstddef>
#include <string>

#include "system/unique_handle.h"

namespace tenvik {

class EntryWriter {
 public:
  static constexpr std::size_t kLargestHandedOver = 64 * 1024 * 1024;

  EntryWriter();
  ~EntryWriter();  // waits for the entry in flight
  EntryWriter(const EntryWriter&) = delete;
  EntryWriter& operator=(const EntryWriter&) = delete;

  // Writes data to path (see writeFile). Takes data's contents, leaving in
  // their place the room of an entry written earlier, once the entry before
  // is written.
  void write(std::wstring path, std::string& data);

  // Waits until every entry handed over is written; true when each was
  // written in full. An exception while writing on the thread (memory
  // running out) counts as an entry not written; it never leaves the thread.
  bool finish();

 private:
  static DWORD WINAPI run(void* self);
  void writeInFlight();
  void waitUntilIdle();  // with lock_ held

  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
  bool busy_ = false;
  bool stopping_ = false;
  bool allWritten_ = true;
  std::wstring path_;
  std::string data_;
  UniqueKernelHandle thread_;
};

}  // namespace tenvik
