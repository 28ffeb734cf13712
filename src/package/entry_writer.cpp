#include "package/entry_writer.h"

#include <utility>

#include "system/file_system.h"

namespace tenvik {
namespace {

// An exception that left the thread would end the whole process through
// std::terminate (exit code 3, the work directory left behind); memory
// running out while writing is a failed entry like any other, so the
// unpacking fails and the run ends the usual way.
bool writeCaught(const std::wstring& path, const std::string& data) {
  try {
    return writeFile(path, data);
  } catch (...) {
    return false;
  }
}

}  // namespace

EntryWriter::EntryWriter() {
  // Without a thread every entry is written on the caller's, as it comes.
  thread_.reset(CreateThread(nullptr, 0, run, this, 0, nullptr));
}

EntryWriter::~EntryWriter() {
  AcquireSRWLockExclusive(&lock_);
  stopping_ = true;
  WakeAllConditionVariable(&changed_);
  ReleaseSRWLockExclusive(&lock_);
  if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
}

void EntryWriter::waitUntilIdle() {
  while (busy_) SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
}

void EntryWriter::write(std::wstring path, std::string& data) {
  AcquireSRWLockExclusive(&lock_);
  waitUntilIdle();
  if (!thread_ || data.size() > kLargestHandedOver) {
    ReleaseSRWLockExclusive(&lock_);
    const bool written = writeFile(path, data);
    AcquireSRWLockExclusive(&lock_);
    allWritten_ = allWritten_ && written;
  } else {
    path_ = std::move(path);
    data_.swap(data);
    busy_ = true;
    WakeAllConditionVariable(&changed_);
  }
  ReleaseSRWLockExclusive(&lock_);
}

bool EntryWriter::finish() {
  AcquireSRWLockExclusive(&lock_);
  waitUntilIdle();
  const bool allWritten = allWritten_;
  ReleaseSRWLockExclusive(&lock_);
  return allWritten;
}

DWORD WINAPI EntryWriter::run(void* self) {
  static_cast<EntryWriter*>(self)->writeInFlight();
  return 0;
}

void EntryWriter::writeInFlight() {
  AcquireSRWLockExclusive(&lock_);
  for (;;) {
    while (!busy_ && !stopping_) SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    if (!busy_) break;
    // The caller touches neither while busy_ is set.
    ReleaseSRWLockExclusive(&lock_);
    const bool written = writeCaught(path_, data_);
    AcquireSRWLockExclusive(&lock_);
    allWritten_ = allWritten_ && written;
    busy_ = false;
    WakeAllConditionVariable(&changed_);
  }
  ReleaseSRWLockExclusive(&lock_);
}

}  // namespace tenvik
