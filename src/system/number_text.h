#pragma once
// Numbers into text: the one way the program writes a number.

#include <cstdint>
#include <string>

namespace tenvik {

// value in decimal digits, without sign or separators. Written by hand:
// std::to_wstring would bring the C runtime's whole wide printf formatter
// into the program.
std::wstring decimalText(uint64_t value);

}  // namespace tenvik
