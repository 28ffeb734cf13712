// Writing the settings is for the build tools and the tests; kept apart from
// the reading, so the program, which only reads, does not carry it.
#include "settings/image_settings.h"

namespace tenvik {
namespace {

void appendUtf8(std::string& bytes, char32_t point) {
  if (point < 0x80) {
    bytes += static_cast<char>(point);
  } else if (point < 0x800) {
    bytes += static_cast<char>(0xC0 | (point >> 6));
    bytes += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    bytes += static_cast<char>(0xE0 | (point >> 12));
    bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    bytes += static_cast<char>(0xF0 | (point >> 18));
    bytes += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (point & 0x3F));
  }
}

std::string number(uint32_t value) { return std::to_string(value); }

}  // namespace

std::string settingText(const std::wstring& value) {
  std::string bytes;
  for (std::size_t at = 0; at < value.size(); ++at) {
    char32_t point = static_cast<char32_t>(value[at]);
    if (sizeof(wchar_t) == 2 && point >= 0xD800 && point < 0xDC00 && at + 1 < value.size()) {
      point = 0x10000 + ((point - 0xD800) << 10) + (static_cast<char32_t>(value[++at]) - 0xDC00);
    }
    appendUtf8(bytes, point);
  }
  return bytes;
}

std::string downloadSettingText(const DownloadSource& source) {
  return source.vendor ? std::string("vendor") : settingText(source.base);
}

std::vector<std::pair<std::string, std::string>> settingLines(const ImageSettings& settings) {
  const InstallSettings& install = settings.install;
  return {{"runtime", formatRuntimeRule(settings.runtime)},
          {"progress-window", settings.progressWindow ? "on" : "off"},
          {"download", downloadSettingText(install.download)},
          {"product", settingText(settings.product)},
          {"installer-signer", settingText(install.installerSigner)},
          {"installer-wait", number(install.installerWaitSeconds)},
          {"download-limit", number(install.downloadLimitSeconds)},
          {"run-wait", number(settings.runWaitSeconds)},
          {"installer-busy-pause-ms", number(install.installerBusyPauseMs)}};
}

std::string formatImageSettings(const ImageSettings& settings) {
  std::string text;
  for (const auto& [key, value] : settingLines(settings)) text += key + "=" + value + "\n";
  return text;
}

}  // namespace tenvik
