#pragma once
// Which registry value names count as an installed runtime: .NET 6 by the
// historical pattern, or a runtime that meets an image's rule.

#include <string>

#include "runtime/runtime_rule.h"

namespace tenvik {

// True when name matches the version pattern "^6." (ECMAScript, search
// semantics): a 6 at the start of the name or right after a line feed, followed
// by any one code unit other than a line feed or carriage return. So "6.0.25"
// and "60.1" count; "6", "16.0.1" and "7.0.5" do not.
bool matchesVersionPattern(const std::wstring& name);

// True when name counts as an installed runtime for rule. The standard rule
// asks matchesVersionPattern, unchanged. Any other rule counts a name that
// reads as a version (parseRuntimeVersion, ASCII only) that meets it
// (meetsRule): for "desktop:10.0.9", "10.0.10" counts and "10.0.8", "11.0.0"
// and "10.0.9-rc.1" do not; for "desktop:=10.0.0" only "10.0.0"; for
// "desktop:9+" "9.0.1" and "11.0.0" too.
bool countsForRule(const RuntimeRule& rule, const std::wstring& name);

}  // namespace tenvik
