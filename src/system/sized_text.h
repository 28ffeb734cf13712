#pragma once
// Reading text from platform calls that fill a caller's buffer and, when it is
// too small, answer with the size they need instead (GetTempPathW and kin).

#include <functional>
#include <string>

namespace tenvik {

// query(capacity, buffer) fills buffer (capacity units) and returns the text's
// length without terminator; when capacity is too small it returns the units
// it needs, terminator included; 0 on failure. Starts with initialCapacity
// (0 counts as 1; more than 32768 counts as 32768) and grows the buffer to
// what the platform asks for, a few times at most in case the text keeps
// growing meanwhile. query is never handed a capacity above 32768 units.
// Empty when the text cannot be had, also when it would need more than 32768
// units.
std::wstring readSizedText(const std::function<unsigned long(unsigned long capacity, wchar_t* buffer)>& query,
                           unsigned long initialCapacity);

}  // namespace tenvik
