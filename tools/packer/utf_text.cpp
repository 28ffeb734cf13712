#include "utf_text.h"

namespace tenvik::packer {
namespace {

constexpr char32_t replacement = 0xFFFD;

// Decodes the code points of utf8; malformed sequences give one replacement
// each and decoding resumes at the next byte.
std::u32string codePoints(std::string_view utf8) {
  std::u32string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t length = 0;
    char32_t point = 0;
    if (lead < 0x80) {
      out += lead;
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, point = lead & 0x07;
    }
    bool good = length != 0 && utf8.size() - i >= length;
    for (std::size_t k = 1; good && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      good = (next & 0xC0) == 0x80;
      point = point << 6 | (next & 0x3F);
    }
    good = good && !(length == 3 && point < 0x800) && !(length == 4 && point < 0x10000) &&
           !(point >= 0xD800 && point <= 0xDFFF) && point <= 0x10FFFF;
    out += good ? point : replacement;
    i += good ? length : 1;
  }
  return out;
}

void appendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | point >> 6);
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | point >> 12);
    out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | point >> 18);
    out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

}  // namespace

std::u16string utf16FromUtf8(std::string_view utf8) {
  std::u16string out;
  for (const char32_t point : codePoints(utf8)) {
    if (point < 0x10000) {
      out += static_cast<char16_t>(point);
    } else {
      out += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string utf8FromUtf16(std::u16string_view utf16) {
  std::string out;
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char16_t unit = utf16[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      appendUtf8(out, replacement);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

std::string sanitisedUtf8(std::string_view bytes) {
  std::string out;
  for (const char32_t point : codePoints(bytes)) appendUtf8(out, point);
  return out;
}

std::size_t utf16Length(std::string_view utf8) { return utf16FromUtf8(utf8).size(); }

}  // namespace tenvik::packer
