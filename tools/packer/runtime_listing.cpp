#include "runtime_listing.h"

#include "installer_check.h"
#include "runtime/bundled_installer.h"
#include "pack_error.h"
#include "setup_image.h"

namespace tenvik::packer {
namespace {

std::string lowestText(const RuntimeRule& rule) {
  std::string text;
  for (const unsigned long number : rule.lowest->numbers) text += (text.empty() ? "" : ".") + std::to_string(number);
  return text;
}

std::optional<std::string> installerVersion(const std::string& bytes) {
  try {
    const auto record = readProgramVersion(bytes);
    if (!record) return std::nullopt;
    if (const auto identity = identifyInstaller(*record)) return identity->version;
    return versionText(record->productVersion);
  } catch (const PackError&) {
    return std::nullopt;  // not a program the version reader takes
  }
}

}  // namespace

RuntimeListing runtimeListing(const std::map<std::uint32_t, std::string>& dataResources) {
  RuntimeListing listing;
  const auto settings = dataResources.find(kSettingsResourceId);
  listing.settings = settings == dataResources.end() ? std::optional<ImageSettings>(ImageSettings{})
                                                     : parseImageSettings(settings->second);
  for (const RuntimeFramework framework : {RuntimeFramework::desktop, RuntimeFramework::base}) {
    for (const bool x64 : {true, false}) {
      const auto found = dataResources.find(bundledInstallerId(framework, x64));
      if (found == dataResources.end()) continue;
      listing.bundled.push_back({framework, x64, installerVersion(found->second), found->second.size()});
    }
  }
  return listing;
}

void printRuntimeText(const RuntimeListing& listing, std::ostream& out) {
  if (!listing.settings) {
    out << "runtime: unknown (the settings resource cannot be read)\n";
  } else {
    const RuntimeRule& rule = listing.settings->runtime;
    out << "runtime: " << formatRuntimeRule(rule) << " (" << frameworkName(rule.framework) << " " << rule.major;
    if (rule.lowest) out << ", at least " << lowestText(rule);
    if (rule.baseFallback) out << ", else " << frameworkName(RuntimeFramework::base) << " " << rule.major;
    out << ")\n";
  }
  if (listing.bundled.empty()) out << "bundled runtime installers: none\n";
  for (const BundledInstaller& installer : listing.bundled) {
    out << "bundled runtime installer: " << frameworkWord(installer.framework) << (installer.x64 ? " x64" : " x86")
        << ", version " << installer.version.value_or("unknown") << ", " << installer.size << " bytes\n";
  }
  if (!listing.settings) return;
  const ImageSettings& settings = *listing.settings;
  const InstallSettings& install = settings.install;
  out << "progress window: " << (settings.progressWindow ? "on" : "off") << "\n";
  out << "download: " << downloadSettingText(install.download)
      << (install.download.vendor ? " (the runtime vendor's own addresses)" : "") << "\n";
  out << "product word: " << settingText(settings.product) << "\n";
  out << "installer signer: "
      << (install.installerSigner.empty() ? "none (not checked)" : settingText(install.installerSigner)) << "\n";
  out << "installer wait: " << install.installerWaitSeconds << " s\n";
  out << "download limit: " << install.downloadLimitSeconds << " s\n";
  out << "run wait: " << settings.runWaitSeconds << " s\n";
  out << "installer busy pause: " << install.installerBusyPauseMs << " ms\n";
}

void writeSettingsJson(const RuntimeListing& listing, JsonWriter& json) {
  const ImageSettings* settings = listing.settings ? &*listing.settings : nullptr;
  const auto text = [&](const char* key, const std::string& value) {
    json.key(key);
    settings ? json.string(value) : json.null();
  };
  const auto number = [&](const char* key, std::uint64_t value) {
    json.key(key);
    settings ? json.number(value) : json.null();
  };
  const ImageSettings shown = settings ? *settings : ImageSettings();
  json.key("progressWindow");
  settings ? json.boolean(shown.progressWindow) : json.null();
  text("download", downloadSettingText(shown.install.download));
  text("product", settingText(shown.product));
  text("installerSigner", settingText(shown.install.installerSigner));
  number("installerWait", shown.install.installerWaitSeconds);
  number("downloadLimit", shown.install.downloadLimitSeconds);
  number("runWait", shown.runWaitSeconds);
  number("installerBusyPause", shown.install.installerBusyPauseMs);
}

void writeRuntimeJson(const RuntimeListing& listing, JsonWriter& json) {
  if (!listing.settings) {
    json.null();
    return;
  }
  const RuntimeRule& rule = listing.settings->runtime;
  json.beginObject();
  json.key("rule");
  json.string(formatRuntimeRule(rule));
  json.key("framework");
  json.string(frameworkWord(rule.framework));
  json.key("major");
  json.number(rule.major);
  json.key("lowest");
  if (rule.lowest) {
    json.string(lowestText(rule));
  } else {
    json.null();
  }
  json.key("fallback");
  json.boolean(rule.baseFallback);
  json.key("bundled");
  json.beginArray();
  for (const BundledInstaller& installer : listing.bundled) {
    json.beginObject();
    json.key("framework");
    json.string(frameworkWord(installer.framework));
    json.key("arch");
    json.string(installer.x64 ? "x64" : "x86");
    json.key("version");
    if (installer.version) {
      json.string(*installer.version);
    } else {
      json.null();
    }
    json.key("size");
    json.number(installer.size);
    json.endObject();
  }
  json.endArray();
  json.endObject();
}

}  // namespace tenvik::packer
