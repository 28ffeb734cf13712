#include "icon_file.h"

#include "byte_order.h"
#include "pack_error.h"

namespace tenvik::packer {
namespace {

constexpr std::size_t directorySize = 6;
constexpr std::size_t fileEntrySize = 16;
constexpr std::uint16_t iconType = 1;

[[noreturn]] void badIcon(const std::string& why) { throw PackError("The icon file " + why); }

}  // namespace

std::vector<IconImage> parseIconFile(std::string_view bytes) {
  if (bytes.size() < directorySize || read16(bytes, 0) != 0 || read16(bytes, 2) != iconType) {
    badIcon("is not a .ico file (no icon directory at its start)");
  }
  const std::uint16_t count = read16(bytes, 4);
  if (count == 0) badIcon("holds no image");
  if (!fits(directorySize, fileEntrySize * std::size_t{count}, bytes.size())) badIcon("is cut short in its directory");
  std::vector<IconImage> images;
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::size_t at = directorySize + fileEntrySize * i;
    IconImage image;
    image.width = static_cast<std::uint8_t>(bytes[at]);
    image.height = static_cast<std::uint8_t>(bytes[at + 1]);
    image.colourCount = static_cast<std::uint8_t>(bytes[at + 2]);
    image.planes = read16(bytes, at + 4);
    image.bitCount = read16(bytes, at + 6);
    const std::uint32_t size = read32(bytes, at + 8), offset = read32(bytes, at + 12);
    if (size == 0 || !fits(offset, size, bytes.size())) {
      badIcon("is damaged: image " + std::to_string(i + 1) + " lies outside the file");
    }
    image.data = std::string(bytes.substr(offset, size));
    images.push_back(std::move(image));
  }
  return images;
}

std::string iconGroupResource(const std::vector<IconImage>& images, std::uint16_t firstId) {
  std::string group;
  append16(group, 0);
  append16(group, iconType);
  append16(group, static_cast<std::uint16_t>(images.size()));
  std::uint16_t id = firstId;
  for (const IconImage& image : images) {
    group += static_cast<char>(image.width);
    group += static_cast<char>(image.height);
    group += static_cast<char>(image.colourCount);
    group += '\0';
    append16(group, image.planes);
    append16(group, image.bitCount);
    append32(group, static_cast<std::uint32_t>(image.data.size()));
    append16(group, id++);
  }
  return group;
}

void replaceIcons(ResourceTree& tree, const std::vector<IconImage>& images, std::uint32_t language) {
  ResourceKey groupName = ResourceKey::number(1);
  const auto groups = tree.find(ResourceKey::number(rtGroupIcon));
  if (groups != tree.end() && !groups->second.empty()) {
    groupName = groups->second.begin()->first;
    if (!groups->second.begin()->second.empty()) language = groups->second.begin()->second.begin()->first;
  }
  tree.erase(ResourceKey::number(rtGroupIcon));
  tree.erase(ResourceKey::number(rtIcon));
  tree[ResourceKey::number(rtGroupIcon)][groupName][language] = {iconGroupResource(images, 1), 0};
  ResourceNames& icons = tree[ResourceKey::number(rtIcon)];
  for (std::size_t i = 0; i < images.size(); ++i) {
    icons[ResourceKey::number(static_cast<std::uint32_t>(i + 1))][language] = {images[i].data, 0};
  }
}

}  // namespace tenvik::packer
