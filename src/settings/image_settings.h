#pragma once
// The settings a release engineer chooses for an image: one small resource
// inside the signed image (RT_RCDATA 103), written by the build and
// rewritten by tenvik-pack, read once when the program starts and handed
// down by the launcher as one value. Text, one "key=value" line each, UTF-8:
//   runtime=desktop+base:6
//   progress-window=off
//   download=https://download.tenvik.com      (or: download=vendor)
//   product=Tenvik
//   installer-signer=Microsoft Corporation
//   installer-wait=3600
//   download-limit=900
//   run-wait=1800
//   installer-busy-pause-ms=30000
// Keys the reader does not know, lines without "=", a value that does not
// read, or a key given twice make the whole resource malformed: an image
// whose settings cannot be read must not run on guessed ones.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/install_settings.h"
#include "runtime/runtime_rule.h"

namespace tenvik {

inline constexpr unsigned kSettingsResourceId = 103;  // RT_RCDATA

// The bounds of the numbers, in the unit of each key.
inline constexpr uint32_t kLongestWaitSeconds = 86400;    // installer-wait, download-limit, run-wait: 1 to this
inline constexpr uint32_t kLongestBusyPauseMs = 600000;  // installer-busy-pause-ms: 0 to this

struct ImageSettings {
  RuntimeRule runtime = RuntimeRule::standard();
  bool progressWindow = false;
  // The product word: it names ProgramData\<word>, the run's lock and the
  // progress window's caption.
  std::wstring product = L"Tenvik";
  // The most a run waits for another run of its product, and for another
  // product's runtime installation.
  uint32_t runWaitSeconds = 1800;
  InstallSettings install;
};

// The settings in text; nothing when it is malformed (see above). A missing
// key keeps its default; a final line may lack its line feed; "\r\n" is read
// as a line end.
std::optional<ImageSettings> parseImageSettings(std::string_view text);

// The text parseImageSettings reads back, every key written in the order
// above, "\n" line ends.
std::string formatImageSettings(const ImageSettings& settings);

// Each key of the text above with its value, in that order.
std::vector<std::pair<std::string, std::string>> settingLines(const ImageSettings& settings);

// The value of each text key as the reader takes it, for the tools that
// check a value before they write it; nothing when it would be refused.
// download: "vendor", or http(s)://host[:port] with at most a "/" after it
// (any other scheme, a path, a query, user information are refused).
std::optional<DownloadSource> parseDownloadSetting(std::string_view value);
// product: 1 to 64 ASCII letters, digits, ".", "-" and "_", starting with a
// letter or digit, not ending with "."; never a DOS device name (CON, COM1).
std::optional<std::wstring> parseProductSetting(std::string_view value);
// installer-signer: UTF-8 text of at most 256 characters without control
// characters; empty turns the signature check off.
std::optional<std::wstring> parseSignerSetting(std::string_view value);
// A whole number of digits alone from lowest to highest.
std::optional<uint32_t> parseNumberSetting(std::string_view value, uint32_t lowest, uint32_t highest);

// The download source in the settings' own words: "vendor" or the base.
std::string downloadSettingText(const DownloadSource& source);
// Wide text of the settings (product word, signer) as UTF-8.
std::string settingText(const std::wstring& value);

}  // namespace tenvik
