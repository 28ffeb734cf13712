#pragma once
// The resource directory of a PE image as a tree of three levels (type,
// name, language), read from a resource section and written back as one.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace tenvik::packer {

constexpr std::uint32_t rtIcon = 3;
constexpr std::uint32_t rtBitmap = 2;
constexpr std::uint32_t rtRcdata = 10;
constexpr std::uint32_t rtGroupIcon = 14;
constexpr std::uint32_t rtVersion = 16;
constexpr std::uint32_t rtManifest = 24;
constexpr std::uint32_t payloadResourceId = 102;

// A type or resource name: an integer identifier or a UTF-16 string. Named
// entries sort before numbered ones, each kind in ascending order, which is
// the order the loader's binary search expects.
struct ResourceKey {
  bool named = false;
  std::uint32_t id = 0;
  std::u16string name;

  static ResourceKey number(std::uint32_t value) { return {false, value, {}}; }
  bool operator<(const ResourceKey& other) const;
  bool operator==(const ResourceKey& other) const;
};

struct ResourceData {
  std::string bytes;
  std::uint32_t codePage = 0;
};

using ResourceLanguages = std::map<std::uint32_t, ResourceData>;
using ResourceNames = std::map<ResourceKey, ResourceLanguages>;
using ResourceTree = std::map<ResourceKey, ResourceNames>;

// The tree in section, a resource section loaded at sectionRva. Throws
// PackError (exitNotPe) when a directory, name or data entry lies outside
// the section or the tree is not three levels deep.
ResourceTree parseResourceTree(std::string_view section, std::uint32_t sectionRva);

// The section bytes for tree at sectionRva, laid out as the GNU linker lays
// them out: every directory table, depth first; the name strings; the data
// entries; then each resource's data on an eight-byte boundary, and the
// section's end on one too.
std::string buildResourceSection(const ResourceTree& tree, std::uint32_t sectionRva);

// The first language's data of type/name, or null.
const ResourceData* findResource(const ResourceTree& tree, std::uint32_t type, std::uint32_t name);

}  // namespace tenvik::packer
