#include "launcher/image_settings.h"

#include <utility>

namespace tenvik {
namespace {

std::optional<bool> parseSwitch(std::string_view value) {
  if (value == "on") return true;
  if (value == "off") return false;
  return std::nullopt;
}

}  // namespace

unsigned bundledInstallerId(RuntimeFramework framework, bool x64) {
  if (framework == RuntimeFramework::desktop) return x64 ? kBundledDesktopX64Id : kBundledDesktopX86Id;
  return x64 ? kBundledBaseX64Id : kBundledBaseX86Id;
}

std::optional<ImageSettings> parseImageSettings(std::string_view text) {
  ImageSettings settings;
  bool sawRuntime = false;
  bool sawProgressWindow = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;

    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "runtime" && !sawRuntime) {
      std::optional<RuntimeRule> rule = parseRuntimeRule(value);
      if (!rule) return std::nullopt;
      settings.runtime = std::move(*rule);
      sawRuntime = true;
    } else if (key == "progress-window" && !sawProgressWindow) {
      const std::optional<bool> on = parseSwitch(value);
      if (!on) return std::nullopt;
      settings.progressWindow = *on;
      sawProgressWindow = true;
    } else {
      return std::nullopt;
    }
  }
  return settings;
}

}  // namespace tenvik
