#pragma once
// The environment the run's elevated children (the runtime installer and
// the runtime host) start with. Setup.exe's own environment comes from the
// user (HKCU\Environment, or whatever program started it), and the .NET host
// and runtime load code from where some of its variables point, so the
// children get a copy with those dropped. Pure.

#include <string>
#include <string_view>
#include <vector>

namespace tenvik {

// Whether name belongs to a family the .NET host or runtime reads: DOTNET_,
// COREHOST_, CORECLR_, COR_ and COMPlus_, in any case (Windows matches
// variable names without regard to case). Startup hooks, profilers,
// additional deps, the shared store and DOTNET_ROOT are all among them.
bool isRuntimeVariable(std::wstring_view name);

// entries ("NAME=value", as the process's environment block holds them, in
// its order) without any runtime variable, and with TEMP and TMP both set to
// tempFolder (added where they were missing, at their sorted place). Every
// other entry passes unchanged and in its place, the "=C:=C:\dir" entries of
// the drives' current directories among them.
std::vector<std::wstring> childEnvironment(const std::vector<std::wstring>& entries, const std::wstring& tempFolder);

// entries as the block CreateProcessW takes with CREATE_UNICODE_ENVIRONMENT:
// each entry ended by a zero unit, and one more zero unit at the end.
std::wstring environmentBlock(const std::vector<std::wstring>& entries);

}  // namespace tenvik
