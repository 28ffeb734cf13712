#pragma once
// String values of the registry, read by the size-then-data protocol.

#include <windows.h>

#include <string>

namespace tenvik {

// One call of the string-value protocol on an open key: buffer may be null;
// count is the buffer's capacity in units on entry and the value's length in
// units on return. Returns 0, the platform's error code, or ERROR_INVALID_DATA
// for a value that is not a terminated REG_SZ/REG_EXPAND_SZ string.
LONG readRegistryString(HKEY key, const wchar_t* valueName, wchar_t* buffer, DWORD& count);

// A string value of an open key, read by two calls of the protocol above;
// empty on any failure.
std::wstring readStringValue(HKEY key, const wchar_t* valueName);

}  // namespace tenvik
