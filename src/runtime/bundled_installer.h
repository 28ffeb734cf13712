#pragma once
// Runtime installers that travel inside the image (RT_RCDATA 201 to 204), so
// that a machine without a network can be served.

#include <optional>
#include <string_view>

#include "runtime/runtime_rule.h"

namespace tenvik {

// One resource per framework and architecture; each is the installer file,
// byte for byte.
inline constexpr unsigned kBundledDesktopX64Id = 201;
inline constexpr unsigned kBundledDesktopX86Id = 202;
inline constexpr unsigned kBundledBaseX64Id = 203;
inline constexpr unsigned kBundledBaseX86Id = 204;

// The resource identifier of the bundled installer for framework on x64 or x86.
constexpr unsigned bundledInstallerId(RuntimeFramework framework, bool x64) {
  if (framework == RuntimeFramework::desktop) return x64 ? kBundledDesktopX64Id : kBundledDesktopX86Id;
  return x64 ? kBundledBaseX64Id : kBundledBaseX86Id;
}

// The installer the image carries for framework on x64 or x86 Windows, as it
// lies in the mapped image (valid for the life of the process, never to be
// freed), or nothing when the image carries none for them.
std::optional<std::string_view> bundledInstaller(RuntimeFramework framework, bool x64);

}  // namespace tenvik
