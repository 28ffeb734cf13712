#include "runtime_stamp.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "exit_codes.h"
#include "installer_check.h"
#include "runtime/bundled_installer.h"
#include "settings/image_settings.h"
#include "output_file.h"
#include "pack_error.h"
#include "payload_check.h"
#include "runtime_config.h"
#include "setup_image.h"

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

constexpr std::string_view fromApp = "from-app";

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

struct FoundConfig {
  std::string name;                // for messages
  std::optional<std::string> text;  // nothing when there is none
};

FoundConfig findRuntimeConfig(const AppSource& app) {
  FoundConfig found;
  if (app.folder) {
    const std::string entry = fs::u8path(app.entry).lexically_normal().generic_u8string();
    const fs::path path = *app.folder / fs::u8path(runtimeConfigName(entry));
    found.name = path.u8string();
    std::error_code error;
    if (fs::is_regular_file(path, error)) found.text = readInputFile(path);
    return found;
  }
  // The package names entries with "\" between levels; the first is the
  // one launched, and its runtimeconfig.json sits beside it.
  std::optional<std::string> wanted;
  checkPayloadResource(*app.payloadResource, [&](const PackageEntry& entry) {
    if (!wanted) {
      wanted = runtimeConfigName(entry.name);
      found.name = *wanted + " in the payload";
    } else if (!found.text && sameName(entry.name, *wanted)) {
      found.text = entry.data;
    }
  });
  if (!wanted) found.name = "the payload's runtimeconfig.json";
  return found;
}

RuntimeRule ruleNamed(const std::string& text) {
  const auto rule = parseRuntimeRule(text);
  if (!rule) {
    throw PackError("--runtime " + text +
                        " is not a runtime rule: use from-app, desktop:MAJOR, base:MAJOR, desktop+base:MAJOR, or a "
                        "lowest version such as desktop:10.0.2",
                    exitUsage);
  }
  return *rule;
}

ImageSettings stubSettings(const std::map<std::uint32_t, std::string>& data) {
  const auto found = data.find(kSettingsResourceId);
  if (found == data.end()) return ImageSettings{};
  const auto settings = parseImageSettings(found->second);
  if (!settings) {
    throw PackError("The stub's settings (RT_RCDATA " + std::to_string(kSettingsResourceId) +
                    ") cannot be read; use a Setup.exe built by this project as the stub");
  }
  return *settings;
}

// The rule the image is to carry, after checking it against the app.
RuntimeRule chosenRule(const RuntimeOptions& options, const RuntimeRule& kept, const AppSource& app,
                       std::ostream& err, std::string& origin) {
  const bool derive = options.runtime ? *options.runtime == fromApp : app.folder.has_value();
  const std::optional<RuntimeRule> named =
      options.runtime && !derive ? std::optional<RuntimeRule>(ruleNamed(*options.runtime)) : std::nullopt;
  const FoundConfig config = findRuntimeConfig(app);
  origin = named ? "as given" : "kept from the stub";
  if (!config.text) {
    if (derive) {
      throw PackError("There is no " + config.name +
                          " to learn the runtime from: publish the application framework-dependent, or give "
                          "--runtime RULE",
                      exitNoRuntimeConfig);
    }
    if (named) {
      err << "tenvik-pack: warning: there is no " << config.name
          << "; the runtime rule cannot be checked against the application\n";
    }
    return named ? *named : kept;
  }
  AppRuntime needs;
  try {
    needs = readRuntimeConfig(*config.text, config.name);
  } catch (const PackError& failure) {
    // A payload stamped with the stub's rule, as before rules were stamped,
    // is not refused for a file it never had to read; what the file says of
    // the application itself still counts.
    if (derive || named || failure.exitCode != exitBadRuntimeConfig) throw;
    err << "tenvik-pack: warning: " << failure.what() << "; the stub's runtime rule is kept unchecked\n";
    return kept;
  }
  RuntimeRule rule = named ? *named : kept;
  if (derive) {
    rule = ruleForApp(needs);
    if (!parseRuntimeRule(formatRuntimeRule(rule))) {
      throw PackError("\"" + config.name + "\" names version " + needs.versionText +
                          ", for which no runtime rule can be made",
                      exitBadRuntimeConfig);
    }
    origin = "from " + config.name;
  }
  const std::string mismatch = ruleMismatch(rule, needs);
  if (!mismatch.empty()) throw PackError("The application cannot run under the image: " + mismatch, exitRuntimeMismatch);
  if (baseFallbackRisk(rule, needs)) {
    err << "tenvik-pack: warning: the runtime rule " << formatRuntimeRule(rule)
        << " starts the application on the base runtime alone when the Desktop one cannot be installed, and "
        << "this application needs " << frameworkName(RuntimeFramework::desktop) << "; --runtime "
        << formatRuntimeRule(ruleForApp(needs)) << " does not\n";
  }
  const std::string disagreement = hostDisagreement(rule, needs);
  if (!disagreement.empty()) err << "tenvik-pack: warning: " << disagreement << "\n";
  return rule;
}

// Whether text (a settings resource) has a line for key.
bool hasSettingLine(std::string_view text, const std::string& key) {
  const std::string start = key + "=";
  for (std::size_t at = 0; at < text.size();) {
    if (text.compare(at, start.size(), start) == 0) return true;
    const std::size_t end = text.find('\n', at);
    at = end == std::string_view::npos ? text.size() : end + 1;
  }
  return false;
}

// The settings text for a stub whose resource was stubText: the keys it had,
// and those whose value is not the default. A stub made before a key existed
// reads its resource whole and refuses a key it does not know, so a key is
// added only when it must be, and then with a warning.
std::string settingsForStub(const ImageSettings& settings, std::string_view stubText, std::ostream& err) {
  const auto defaults = settingLines(ImageSettings());
  std::string text;
  const auto lines = settingLines(settings);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto& [key, value] = lines[i];
    const bool had = hasSettingLine(stubText, key);
    if (had || value != defaults[i].second) {
      if (!had) {
        err << "tenvik-pack: warning: the stub's settings have no " << key
            << " line: a Setup.exe made before that setting existed refuses it and does nothing; stamp a stub of "
               "this release\n";
      }
      text += key + "=" + value + "\n";
    }
  }
  return text;
}

// Whether rule ever installs framework's runtime.
bool ruleInstalls(const RuntimeRule& rule, RuntimeFramework framework) {
  return rule.framework == framework || (framework == RuntimeFramework::base && rule.baseFallback);
}

}  // namespace

std::optional<std::vector<std::string>> takeRuntimeOptions(const std::vector<std::string>& arguments,
                                                           RuntimeOptions& options, std::string& problem) {
  static const std::set<std::string> kTaken = {"--runtime",         "--runtime-installer", "--installer-signer",
                                               "--progress-window", "--download",          "--installer-wait"};
  std::vector<std::string> rest;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--") {
      rest.insert(rest.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());
      break;
    }
    if (!kTaken.count(argument)) {
      rest.push_back(argument);
      continue;
    }
    if (i + 1 == arguments.size()) {
      problem = argument + " needs a value";
      return std::nullopt;
    }
    const std::string& value = arguments[++i];
    if (argument == "--runtime-installer") {
      options.installers.push_back(value);
      continue;
    }
    if (!seen.insert(argument).second) {
      problem = argument + " is given twice";
      return std::nullopt;
    }
    const auto refuse = [&](const std::string& why) {
      problem = argument + " " + why + ", not \"" + value + "\"";
      return std::nullopt;
    };
    if (argument == "--progress-window") {
      if (value != "on" && value != "off") return refuse("is on or off");
      options.progressWindow = value == "on";
    } else if (argument == "--runtime") {
      options.runtime = value;
    } else if (argument == "--download") {
      if (!parseDownloadSetting(value)) {
        return refuse("is vendor or a base https://host[:port] (http only for a test server)");
      }
      options.download = value;
    } else if (argument == "--installer-wait") {
      const std::optional<uint32_t> seconds = parseNumberSetting(value, 1, kLongestWaitSeconds);
      if (!seconds) return refuse("is a whole number of seconds from 1 to 86400");
      options.installerWait = seconds;
    } else {
      if (!parseSignerSetting(value)) return refuse("is a name of at most 256 characters without control characters");
      options.signer = value;
    }
  }
  return rest;
}

std::string productWordFor(const RuntimeOptions& options, const std::optional<std::string>& stub) {
  if (options.product) return *options.product;
  if (stub) return settingText(stubSettings(readDataResources(*stub)).product);
  return settingText(ImageSettings().product);
}

RuntimeStamp runtimeStamp(const RuntimeOptions& options, const std::string& stub, const AppSource& app,
                          std::ostream& err) {
  const std::map<std::uint32_t, std::string> data = readDataResources(stub);
  const ImageSettings kept = stubSettings(data);
  ImageSettings settings = kept;
  RuntimeStamp stamp;
  settings.runtime = chosenRule(options, kept.runtime, app, err, stamp.origin);
  stamp.rule = formatRuntimeRule(settings.runtime);
  if (options.progressWindow) settings.progressWindow = *options.progressWindow;
  if (options.download) settings.install.download = *parseDownloadSetting(*options.download);
  if (options.product) settings.product = *parseProductSetting(*options.product);
  if (options.signer) settings.install.installerSigner = *parseSignerSetting(*options.signer);
  if (options.installerWait) settings.install.installerWaitSeconds = *options.installerWait;
  // Unchanged settings leave the stub's resource as it is, byte for byte.
  const auto present = data.find(kSettingsResourceId);
  const bool same = formatImageSettings(settings) == formatImageSettings(kept);
  if (!same || (present == data.end() && options.changesSettings())) {
    stamp.resources[kSettingsResourceId] =
        present == data.end() ? formatImageSettings(settings) : settingsForStub(settings, present->second, err);
  }

  // Bundled installers must carry the signature the image will ask for.
  const std::string signer = settingText(settings.install.installerSigner);
  if (signer.empty() && !options.installers.empty()) {
    err << "tenvik-pack: warning: the image's installer signer is empty: bundled installers are not checked, "
           "here or at run time\n";
  }
  for (const std::string& argument : options.installers) {
    std::optional<InstallerIdentity> slot;
    std::string file = argument;
    const std::size_t equals = argument.find('=');
    if (equals != std::string::npos && (slot = parseInstallerSlot(std::string_view(argument).substr(0, equals)))) {
      file = argument.substr(equals + 1);
    } else if (equals != std::string::npos && !fs::exists(fs::u8path(argument))) {
      throw PackError("--runtime-installer " + argument +
                          ": the part before \"=\" must be desktop:x64, desktop:x86, base:x64 or base:x86",
                      exitUsage);
    }
    const std::string bytes = readInputFile(fs::u8path(file));
    const InstallerIdentity identity = checkInstaller(bytes, file, slot, signer);
    const std::uint32_t id = bundledInstallerId(identity.framework, identity.x64);
    if (!stamp.resources.emplace(id, bytes).second) {
      throw PackError("--runtime-installer: two installers for " + installerSlotText(identity), exitUsage);
    }
    if (!ruleInstalls(settings.runtime, identity.framework)) {
      err << "tenvik-pack: warning: \"" << file << "\" installs " << frameworkName(identity.framework)
          << ", which the runtime rule " << stamp.rule << " never installs\n";
    }
    const auto version = parseRuntimeVersion(identity.version);
    if (version && version->numbers.front() != settings.runtime.major) {
      err << "tenvik-pack: warning: \"" << file << "\" installs version " << identity.version
          << ", which the runtime rule " << stamp.rule << " does not accept\n";
    }
  }
  return stamp;
}

}  // namespace tenvik::packer
