#include "settings/image_settings.h"

#include <utility>

#include "download/url_parts.h"
#include "package/entry_name.h"

namespace tenvik {
namespace {

constexpr std::string_view kVendorWord = "vendor";
constexpr std::size_t kLongestProduct = 64;
constexpr std::size_t kLongestSigner = 256;

std::optional<bool> parseSwitch(std::string_view value) {
  if (value == "on") return true;
  if (value == "off") return false;
  return std::nullopt;
}

bool isAsciiAlphanumeric(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

void appendCodePoint(std::wstring& text, char32_t point) {
  if (sizeof(wchar_t) == 2 && point > 0xFFFF) {
    point -= 0x10000;
    text += static_cast<wchar_t>(0xD800 + (point >> 10));
    text += static_cast<wchar_t>(0xDC00 + (point & 0x3FF));
  } else {
    text += static_cast<wchar_t>(point);
  }
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
std::optional<std::wstring> decodeUtf8(std::string_view bytes) {
  std::wstring text;
  for (std::size_t at = 0; at < bytes.size();) {
    const unsigned char lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 0;
    char32_t point = 0;
    char32_t lowest = 0;
    if (lead < 0x80) {
      length = 1, point = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, point = lead & 0x1F, lowest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, point = lead & 0x0F, lowest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, point = lead & 0x07, lowest = 0x10000;
    } else {
      return std::nullopt;
    }
    if (bytes.size() - at < length) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
      const unsigned char next = static_cast<unsigned char>(bytes[at + i]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      point = (point << 6) | (next & 0x3F);
    }
    if (point < lowest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return std::nullopt;
    appendCodePoint(text, point);
    at += length;
  }
  return text;
}

template <typename T>
bool assign(T& field, std::optional<T> value) {
  if (!value) return false;
  field = std::move(*value);
  return true;
}

}  // namespace

std::optional<DownloadSource> parseDownloadSetting(std::string_view value) {
  if (value == kVendorWord) return DownloadSource{true, std::wstring()};
  std::string_view base = value;
  if (!base.empty() && base.back() == '/') base.remove_suffix(1);
  // A scheme and a host name with an optional port, nothing more: no path,
  // query, user information, nor any character a host name cannot hold.
  // A ":" with no port after it would pass for the scheme's default port.
  if (base.empty() || base.back() == ':') return std::nullopt;
  const std::wstring wide(base.begin(), base.end());
  const std::optional<UrlParts> parts = splitUrl(wide + L"/");
  if (!parts || parts->objectName != L"/") return std::nullopt;
  for (const wchar_t c : parts->host) {
    if (c > 0x7F || (!isAsciiAlphanumeric(static_cast<char>(c)) && c != L'.' && c != L'-' && c != L'_')) {
      return std::nullopt;
    }
  }
  return DownloadSource{false, std::wstring(value.begin(), value.end())};
}

std::optional<std::wstring> parseProductSetting(std::string_view value) {
  if (value.empty() || value.size() > kLongestProduct || !isAsciiAlphanumeric(value.front()) || value.back() == '.') {
    return std::nullopt;
  }
  for (const char c : value) {
    if (!isAsciiAlphanumeric(c) && c != '.' && c != '-' && c != '_') return std::nullopt;
  }
  // The word becomes a folder name: one Windows would open as a device is none.
  if (!isSafeEntryName(value)) return std::nullopt;
  return std::wstring(value.begin(), value.end());
}

std::optional<std::wstring> parseSignerSetting(std::string_view value) {
  std::optional<std::wstring> signer = decodeUtf8(value);
  if (!signer || signer->size() > kLongestSigner) return std::nullopt;
  for (const wchar_t c : *signer) {
    if (c < L' ' || c == 0x7F) return std::nullopt;
  }
  return signer;
}

std::optional<uint32_t> parseNumberSetting(std::string_view value, uint32_t lowest, uint32_t highest) {
  // Ten digits could pass what 32 bits hold; no bound here needs them.
  if (value.empty() || value.size() > 9) return std::nullopt;
  uint32_t number = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<uint32_t>(c - '0');
  }
  if (number < lowest || number > highest) return std::nullopt;
  return number;
}

std::optional<ImageSettings> parseImageSettings(std::string_view text) {
  ImageSettings settings;
  // Each key may appear once; a second one is as malformed as an unknown one.
  enum Key { runtime, progressWindow, download, product, signer, installerWait, downloadLimit, runWait, busyPause, keys };
  static constexpr std::string_view kNames[keys] = {
      "runtime",        "progress-window", "download", "product", "installer-signer", "installer-wait",
      "download-limit", "run-wait",        "installer-busy-pause-ms"};
  bool seen[keys] = {};
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;

    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view name = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    int key = 0;
    while (key < keys && kNames[key] != name) ++key;
    if (key == keys || seen[key]) return std::nullopt;
    seen[key] = true;

    bool read = false;
    switch (key) {
      case runtime: read = assign(settings.runtime, parseRuntimeRule(value)); break;
      case progressWindow: read = assign(settings.progressWindow, parseSwitch(value)); break;
      case download: read = assign(settings.install.download, parseDownloadSetting(value)); break;
      case product: read = assign(settings.product, parseProductSetting(value)); break;
      case signer: read = assign(settings.install.installerSigner, parseSignerSetting(value)); break;
      case installerWait:
        read = assign(settings.install.installerWaitSeconds, parseNumberSetting(value, 1, kLongestWaitSeconds));
        break;
      case downloadLimit:
        read = assign(settings.install.downloadLimitSeconds, parseNumberSetting(value, 1, kLongestWaitSeconds));
        break;
      case runWait: read = assign(settings.runWaitSeconds, parseNumberSetting(value, 1, kLongestWaitSeconds)); break;
      default:
        read = assign(settings.install.installerBusyPauseMs, parseNumberSetting(value, 0, kLongestBusyPauseMs));
        break;
    }
    if (!read) return std::nullopt;
  }
  return settings;
}

}  // namespace tenvik
