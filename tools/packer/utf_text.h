#pragma once
// UTF-8 and UTF-16 for the texts the packer reads and writes: resource names,
// version strings, entry names. Malformed input never fails; what cannot be
// decoded becomes U+FFFD, as it does for the platform's own conversion.

#include <cstdint>
#include <string>
#include <string_view>

namespace tenvik::packer {

std::u16string utf16FromUtf8(std::string_view utf8);
std::string utf8FromUtf16(std::u16string_view utf16);
// The well-formed UTF-8 of bytes, with U+FFFD for each malformed sequence.
std::string sanitisedUtf8(std::string_view bytes);
// How many UTF-16 units the UTF-8 text takes, as Windows counts a path.
std::size_t utf16Length(std::string_view utf8);

}  // namespace tenvik::packer
