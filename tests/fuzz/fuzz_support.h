#pragma once
// What the fuzz targets share: a broken invariant that libFuzzer records as a
// crash (with the input that caused it), text made from raw input bytes, a
// reader for small structured inputs, and a watch on the largest allocation.

#include <sanitizer/allocator_interface.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tenvik::fuzz {

[[noreturn]] inline void fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::abort();
}

// Not assert: the checks must hold in every build type, NDEBUG or not.
#define FUZZ_REQUIRE(condition) \
  ((condition) ? static_cast<void>(0) : ::tenvik::fuzz::fail(#condition, __FILE__, __LINE__))

inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// UTF-16 units as Windows would hold them, whatever the width of wchar_t
// here: UTF-8 sequences become their code point (a pair of surrogates above
// U+FFFF), and a byte that starts no valid sequence becomes the lone
// surrogate U+DC00 + byte, so every unit value is reachable from readable
// seed files.
inline std::wstring wideFromBytes(std::string_view bytes) {
  std::wstring text;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[at]);
    const std::size_t length = lead < 0x80            ? 1
                               : (lead >> 5) == 0x06 ? 2
                               : (lead >> 4) == 0x0E ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    static constexpr unsigned char leadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    std::uint32_t point = lead & leadBits[length];
    bool valid = length != 0 && at + length <= bytes.size();
    for (std::size_t i = 1; valid && i < length; ++i) {
      const unsigned char next = static_cast<unsigned char>(bytes[at + i]);
      valid = (next & 0xC0) == 0x80;
      point = point << 6 | (next & 0x3F);
    }
    static constexpr std::uint32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && point >= shortest[length] && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
    if (!valid) {
      text += static_cast<wchar_t>(0xDC00 + lead);
      ++at;
      continue;
    }
    if (point >= 0x10000) {
      text += static_cast<wchar_t>(0xD800 + ((point - 0x10000) >> 10));
      text += static_cast<wchar_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
    } else {
      text += static_cast<wchar_t>(point);
    }
    at += length;
  }
  return text;
}

// Small structured inputs as readable text: single bytes, decimal numbers
// and pieces cut at a separator. Reading past the end gives zeros and empty
// pieces, so every input is a valid one.
class InputReader {
 public:
  explicit InputReader(std::string_view bytes) : bytes_(bytes) {}

  bool empty() const { return at_ == bytes_.size(); }
  std::string_view rest() const { return bytes_.substr(at_); }

  unsigned char byte() { return empty() ? 0 : static_cast<unsigned char>(bytes_[at_++]); }

  // Up to 20 decimal digits (more stay unread), saturated at the maximum,
  // then one blank if there is one.
  std::uint64_t number() {
    std::uint64_t value = 0;
    for (int digits = 0; digits < 20 && !empty() && bytes_[at_] >= '0' && bytes_[at_] <= '9'; ++digits) {
      const unsigned digit = static_cast<unsigned>(bytes_[at_++] - '0');
      value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
    }
    if (!empty() && bytes_[at_] == ' ') ++at_;
    return value;
  }

  // Everything up to the next separator (consumed) or the end.
  std::string_view piece(char separator) {
    const std::size_t end = bytes_.find(separator, at_);
    const std::string_view piece = bytes_.substr(at_, end == std::string_view::npos ? end : end - at_);
    at_ = end == std::string_view::npos ? bytes_.size() : end + 1;
    return piece;
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

// The largest single allocation made while a watch exists, from the
// sanitizer's allocation hook (libFuzzer's own limits use the same hooks).
class AllocationWatch {
 public:
  AllocationWatch() {
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(&onMalloc, &onFree) != 0;
    FUZZ_REQUIRE(installed);
    largest_ = 0;
    watching_ = true;
  }
  ~AllocationWatch() { watching_ = false; }
  AllocationWatch(const AllocationWatch&) = delete;
  AllocationWatch& operator=(const AllocationWatch&) = delete;

  std::size_t largest() const { return largest_; }

 private:
  static void onMalloc(const volatile void*, std::size_t size) {
    if (watching_ && size > largest_) largest_ = size;
  }
  static void onFree(const volatile void*) {}

  static inline std::atomic<bool> watching_{false};
  static inline std::atomic<std::size_t> largest_{0};
};

}  // namespace tenvik::fuzz
