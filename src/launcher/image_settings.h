#pragma once
// The settings a release engineer may change when stamping an image: one
// small resource inside the signed image (RT_RCDATA 103), written by the
// build and rewritten by tenvik-pack, read once when the program starts.
// Text, one "key=value" line each, UTF-8:
//   runtime=desktop+base:6
//   progress-window=off
// Keys the reader does not know, lines without "=", or a key given twice
// make the whole resource malformed: an image whose settings cannot be read
// must not run on guessed ones.

#include <optional>
#include <string>
#include <string_view>

#include "runtime/runtime_rule.h"

namespace tenvik {

inline constexpr unsigned kSettingsResourceId = 103;  // RT_RCDATA

// Runtime installers carried inside the image (RT_RCDATA), one per framework
// and architecture; each resource is the installer file, byte for byte.
inline constexpr unsigned kBundledDesktopX64Id = 201;
inline constexpr unsigned kBundledDesktopX86Id = 202;
inline constexpr unsigned kBundledBaseX64Id = 203;
inline constexpr unsigned kBundledBaseX86Id = 204;

// The resource identifier of the bundled installer for framework on x64 or x86.
unsigned bundledInstallerId(RuntimeFramework framework, bool x64);

struct ImageSettings {
  RuntimeRule runtime = RuntimeRule::standard();
  bool progressWindow = false;
};

// The settings in text; nothing when it is malformed (see above). A missing
// key keeps its default; a final line may lack its line feed; "\r\n" is read
// as a line end.
std::optional<ImageSettings> parseImageSettings(std::string_view text);

// The text parseImageSettings reads back, every key written, "\n" line ends.
std::string formatImageSettings(const ImageSettings& settings);

}  // namespace tenvik
