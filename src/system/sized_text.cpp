#include "system/sized_text.h"

namespace tenvik {

std::wstring readSizedText(const std::function<unsigned long(unsigned long, wchar_t*)>& query,
                           unsigned long initialCapacity) {
  constexpr int kAttempts = 4;
  // The longest text a Windows path call can produce, terminator included.
  constexpr unsigned long kMaxCapacity = 32768;
  // A caller's guess above the bound is no reason to hand the platform a
  // larger buffer than any answer we would accept.
  unsigned long capacity = initialCapacity > kMaxCapacity ? kMaxCapacity : initialCapacity;
  if (capacity == 0) capacity = 1;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::wstring buffer(capacity, L'\0');
    const unsigned long length = query(capacity, buffer.data());
    if (length == 0) return std::wstring();
    if (length < capacity) {
      buffer.resize(length);
      return buffer;
    }
    // A length that equals the capacity leaves no room for the terminator:
    // treat it as a request for one unit more so every round makes progress.
    capacity = length > capacity ? length : capacity + 1;
    if (capacity > kMaxCapacity) return std::wstring();
  }
  return std::wstring();
}

}  // namespace tenvik
