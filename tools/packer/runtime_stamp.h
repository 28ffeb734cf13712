#pragma once
// The runtime side of stamping a Setup.exe: which runtime rule the image
// carries (derived from the application, given, or kept from the stub) and
// which vendor installers travel inside it, each checked before anything
// is written.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tenvik::packer {

// The image settings a stamp may change; each one not given keeps the
// stub's value. Values are checked as the program reads them
// (settings/image_settings.h) when they are taken.
struct RuntimeOptions {
  std::optional<std::string> runtime;     // --runtime: a rule or "from-app"
  std::vector<std::string> installers;    // --runtime-installer, in order: FILE or desktop:x64=FILE
  std::optional<std::string> signer;      // --installer-signer, UTF-8; empty: no check
  std::optional<bool> progressWindow;    // --progress-window on|off
  std::optional<std::string> download;    // --download vendor|URL
  std::optional<uint32_t> installerWait;  // --installer-wait SECONDS
  std::optional<std::string> product;     // --product-word WORD (read by the pack command's own reader)
  // Whether any option that needs --stub was given (the product word also
  // serves the path-length warnings without one).
  bool given() const {
    return runtime || !installers.empty() || signer || progressWindow || download || installerWait;
  }
  bool changesSettings() const {
    return runtime || signer || progressWindow || download || installerWait || product;
  }
};

// arguments without --runtime, --runtime-installer (repeatable),
// --installer-signer, --progress-window, --download and --installer-wait,
// whose values go to options; "--" ends the options as it does for the other
// reader. Nothing, with problem set, for a missing value, a value the
// program would refuse (a --progress-window other than on or off, a
// malformed --download, --installer-signer or --installer-wait), or any of
// them but --runtime-installer given twice.
std::optional<std::vector<std::string>> takeRuntimeOptions(const std::vector<std::string>& arguments,
                                                           RuntimeOptions& options, std::string& problem);

// Where the application's runtimeconfig.json is read from: the folder
// being packed, or the payload resource being stamped (its first entry is
// the one launched).
struct AppSource {
  std::optional<std::filesystem::path> folder;
  std::string entry;                                // with --entry, relative to folder
  std::optional<std::string_view> payloadResource;  // with --payload
};

struct RuntimeStamp {
  std::map<std::uint32_t, std::string> resources;  // RT_RCDATA to write: settings, bundled installers
  std::string rule;                                // the rule the image carries, in text
  std::string origin;                              // where it came from, for the summary
};

// What stamping stub (its bytes) with options puts in. Without --runtime a
// folder gets the rule from-app derives and a payload keeps the stub's rule,
// which must still suit the application when it has a runtimeconfig.json;
// the stub's other settings are kept. Throws PackError: exitUsage for a
// malformed rule or installer argument, the runtimeconfig refusals of
// readRuntimeConfig, exitNoRuntimeConfig, exitRuntimeMismatch, and the
// installer refusals of checkInstaller. Warnings go to err. --progress-window
// sets the image's progress-window setting; without it the stub's stays.
RuntimeStamp runtimeStamp(const RuntimeOptions& options, const std::string& stub, const AppSource& app,
                          std::ostream& err);

// The product word the payload unpacks below: the one given, else the
// stub's, else the default; for the path-length warnings.
std::string productWordFor(const RuntimeOptions& options, const std::optional<std::string>& stub);

}  // namespace tenvik::packer
