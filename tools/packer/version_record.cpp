#include "version_record.h"

#include <charconv>

#include "byte_order.h"
#include "pack_error.h"
#include "utf_text.h"

namespace tenvik::packer {
namespace {

constexpr std::uint32_t fixedSignature = 0xFEEF04BD;
constexpr std::size_t fixedSize = 52;
constexpr std::uint16_t textType = 1;
constexpr int maxDepth = 4;  // record, StringFileInfo, table, string

// Every block has the same shape: total length, value length (in UTF-16
// units for text, bytes otherwise), type, key, value and child blocks, each
// part on a four-byte boundary.
struct Block {
  std::u16string key;
  std::uint16_t type = 0;
  std::string value;  // the raw value bytes
  std::uint16_t valueLength = 0;  // as stored
  std::vector<Block> children;
};

std::size_t align4(std::size_t value) { return (value + 3) & ~std::size_t{3}; }

std::optional<Block> parseBlock(std::string_view bytes, int depth) {
  if (bytes.size() < 6 || depth > maxDepth) return std::nullopt;
  const std::size_t length = read16(bytes, 0);
  if (length < 6 || length > bytes.size()) return std::nullopt;
  bytes = bytes.substr(0, length);
  Block block;
  block.valueLength = read16(bytes, 2);
  block.type = read16(bytes, 4);
  std::size_t at = 6;
  while (true) {
    if (at + 2 > bytes.size()) return std::nullopt;
    const char16_t unit = static_cast<char16_t>(read16(bytes, at));
    at += 2;
    if (unit == 0) break;
    block.key += unit;
  }
  at = align4(at);
  const std::size_t valueBytes = block.type == textType ? 2 * std::size_t{block.valueLength} : block.valueLength;
  const std::size_t valueEnd = std::min(bytes.size(), at + valueBytes);
  if (at < valueEnd) block.value = std::string(bytes.substr(at, valueEnd - at));
  at = align4(valueEnd);
  while (at < bytes.size()) {
    auto child = parseBlock(bytes.substr(at), depth + 1);
    if (!child) return std::nullopt;
    at = align4(at + read16(bytes, at));
    block.children.push_back(std::move(*child));
  }
  return block;
}

void pad4(std::string& out) { out.resize(align4(out.size()), '\0'); }

std::string serialise(const Block& block) {
  std::string out(6, '\0');
  for (const char16_t unit : block.key) append16(out, static_cast<std::uint16_t>(unit));
  append16(out, 0);
  pad4(out);
  out += block.value;
  for (const Block& child : block.children) {
    pad4(out);
    out += serialise(child);
  }
  if (out.size() > 0xFFFF) throw PackError("the version record grows too large");
  write16(out, 0, static_cast<std::uint16_t>(out.size()));
  write16(out, 2, block.valueLength);
  write16(out, 4, block.type);
  return out;
}

std::string textValue(const Block& block) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < block.value.size(); i += 2) {
    const auto unit = static_cast<char16_t>(read16(block.value, i));
    if (unit == 0) break;
    text += unit;
  }
  return utf8FromUtf16(text);
}

void setText(Block& block, const std::string& utf8) {
  const std::u16string text = utf16FromUtf8(utf8);
  if (text.size() >= 0x7FFF) throw PackError("the version text \"" + utf8.substr(0, 60) + "...\" is too long");
  block.value.clear();
  for (const char16_t unit : text) append16(block.value, static_cast<std::uint16_t>(unit));
  append16(block.value, 0);
  block.type = textType;
  block.valueLength = static_cast<std::uint16_t>(text.size() + 1);  // with the terminator, as rc counts
}

VersionNumber fixedVersion(std::string_view value, std::size_t at) {
  const std::uint32_t high = read32(value, at), low = read32(value, at + 4);
  return {static_cast<std::uint16_t>(high >> 16), static_cast<std::uint16_t>(high & 0xFFFF),
          static_cast<std::uint16_t>(low >> 16), static_cast<std::uint16_t>(low & 0xFFFF)};
}

void setFixedVersion(std::string& value, std::size_t at, const VersionNumber& number) {
  write32(value, at, static_cast<std::uint32_t>(number[0]) << 16 | number[1]);
  write32(value, at + 4, static_cast<std::uint32_t>(number[2]) << 16 | number[3]);
}

std::optional<Block> parseRecord(std::string_view record) {
  auto root = parseBlock(record, 0);
  if (!root || root->key != u"VS_VERSION_INFO" || root->value.size() < fixedSize ||
      read32(root->value, 0) != fixedSignature) {
    return std::nullopt;
  }
  return root;
}

}  // namespace

std::optional<VersionNumber> parseVersionNumber(std::string_view text) {
  VersionNumber number{};
  for (std::size_t part = 0; part < 4; ++part) {
    const std::size_t end = part == 3 ? text.size() : text.find('.');
    if (end == std::string_view::npos || end == 0 || end > 5) return std::nullopt;
    unsigned value = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + end, value);
    if (error != std::errc() || stop != text.data() + end || value > 0xFFFF) return std::nullopt;
    number[part] = static_cast<std::uint16_t>(value);
    text.remove_prefix(part == 3 ? end : end + 1);
  }
  return number;
}

std::string versionText(const VersionNumber& number) {
  return std::to_string(number[0]) + "." + std::to_string(number[1]) + "." + std::to_string(number[2]) + "." +
         std::to_string(number[3]);
}

std::optional<VersionSummary> readVersionRecord(std::string_view record) {
  const auto root = parseRecord(record);
  if (!root) return std::nullopt;
  VersionSummary summary;
  summary.fileVersion = fixedVersion(root->value, 8);
  summary.productVersion = fixedVersion(root->value, 16);
  for (const Block& info : root->children) {
    if (info.key != u"StringFileInfo") continue;
    for (const Block& table : info.children) {
      for (const Block& string : table.children) {
        summary.strings.emplace_back(utf8FromUtf16(string.key), textValue(string));
      }
    }
  }
  return summary;
}

std::string rewriteVersionRecord(std::string_view record, const VersionChanges& changes) {
  auto root = parseRecord(record);
  if (!root) throw PackError("the stub's version record cannot be read");
  std::vector<std::pair<std::u16string, std::string>> values;
  if (changes.productName) values.emplace_back(u"ProductName", *changes.productName);
  if (changes.company) values.emplace_back(u"CompanyName", *changes.company);
  if (changes.fileVersion) {
    setFixedVersion(root->value, 8, *changes.fileVersion);
    setFixedVersion(root->value, 16, *changes.fileVersion);
    values.emplace_back(u"FileVersion", versionText(*changes.fileVersion));
    if (!changes.productVersionText) values.emplace_back(u"ProductVersion", versionText(*changes.fileVersion));
  }
  if (changes.productVersionText) values.emplace_back(u"ProductVersion", *changes.productVersionText);
  if (changes.copyright) values.emplace_back(u"LegalCopyright", *changes.copyright);
  if (changes.description) values.emplace_back(u"FileDescription", *changes.description);
  for (Block& info : root->children) {
    if (info.key != u"StringFileInfo") continue;
    for (Block& table : info.children) {
      for (const auto& [key, text] : values) {
        Block* target = nullptr;
        for (Block& string : table.children) {
          if (string.key == key) target = &string;
        }
        if (target == nullptr) {
          table.children.push_back(Block{key, textType, {}, 0, {}});
          target = &table.children.back();
        }
        setText(*target, text);
      }
    }
  }
  return serialise(*root);
}

}  // namespace tenvik::packer
