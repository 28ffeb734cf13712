#pragma once
// Icons: a .ico file's images, and the icon group resource that lists them
// for the program's resources (RT_GROUP_ICON over RT_ICON images).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resource_tree.h"

namespace tenvik::packer {

struct IconImage {
  std::uint8_t width = 0;   // 0 stands for 256
  std::uint8_t height = 0;
  std::uint8_t colourCount = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  std::string data;  // the image as stored in the file: a DIB or a PNG
};

// The images of the .ico file bytes. Throws PackError naming what is wrong
// when bytes are not an icon file or an image lies outside it.
std::vector<IconImage> parseIconFile(std::string_view bytes);

// The group resource for images stored as RT_ICON firstId, firstId + 1, ...
std::string iconGroupResource(const std::vector<IconImage>& images, std::uint16_t firstId);

// Replaces every icon group and icon image of tree with images: one group
// under the name (and language) of the tree's first group, or 1 in language
// when it has none, and the images as RT_ICON 1, 2, ...
void replaceIcons(ResourceTree& tree, const std::vector<IconImage>& images, std::uint32_t language);

}  // namespace tenvik::packer
