#pragma once
// The command line a started program receives.

#include <string>

namespace tenvik {

// executable, in double quotes only when it holds a blank (U+0020; a tab does
// not count and nothing inside is escaped), then one blank and arguments
// verbatim; empty arguments add nothing, not even the blank.
std::wstring processCommandLine(const std::wstring& executable, const std::wstring& arguments);

}  // namespace tenvik
