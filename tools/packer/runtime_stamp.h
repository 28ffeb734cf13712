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

inline constexpr const char* kDefaultInstallerSigner = "Microsoft Corporation";

struct RuntimeOptions {
  std::optional<std::string> runtime;     // --runtime: a rule or "from-app"
  std::vector<std::string> installers;    // --runtime-installer, in order: FILE or desktop:x64=FILE
  std::string signer = kDefaultInstallerSigner;  // --installer-signer
  std::optional<bool> progressWindow;    // --progress-window on|off
  bool given() const {
    return runtime || !installers.empty() || signer != kDefaultInstallerSigner || progressWindow;
  }
};

// arguments without --runtime, --runtime-installer (repeatable),
// --installer-signer and --progress-window, whose values go to options; "--"
// ends the options as it does for the other reader. Nothing, with problem
// set, for a missing value, a --progress-window other than on or off, or
// --runtime, --installer-signer or --progress-window given twice.
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

}  // namespace tenvik::packer
