#pragma once
// Which registry value names count as an installed .NET 6 runtime.

#include <string>

namespace tenvik {

// True when name matches the version pattern "^6." (ECMAScript, search
// semantics): a 6 at the start of the name or right after a line feed, followed
// by any one code unit other than a line feed or carriage return. So "6.0.25"
// and "60.1" count; "6", "16.0.1" and "7.0.5" do not.
bool matchesVersionPattern(const std::wstring& name);

}  // namespace tenvik
