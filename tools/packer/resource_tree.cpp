#include "resource_tree.h"

#include <functional>
#include <vector>

#include "byte_order.h"
#include "pack_error.h"

namespace tenvik::packer {
namespace {

constexpr std::uint32_t subdirectoryFlag = 0x80000000;
constexpr std::uint32_t nameFlag = 0x80000000;
constexpr std::size_t tableHeaderSize = 16;
constexpr std::size_t tableEntrySize = 8;
constexpr std::size_t dataEntrySize = 16;

[[noreturn]] void malformed(const std::string& why) {
  throw PackError("its resource directory is damaged: " + why, exitNotPe);
}

class TreeReader {
 public:
  TreeReader(std::string_view section, std::uint32_t rva) : section_(section), rva_(rva) {}

  // The entries of the table at offset: key and the raw offset word.
  std::vector<std::pair<ResourceKey, std::uint32_t>> table(std::uint32_t offset) const {
    if (!fits(offset, tableHeaderSize, section_.size())) malformed("a directory table lies outside the section");
    const std::size_t count = std::size_t{read16(section_, offset + 12)} + read16(section_, offset + 14);
    if (!fits(offset + tableHeaderSize, count * tableEntrySize, section_.size())) {
      malformed("a directory table runs past the section");
    }
    // Tables that point back at each other would make the walk endless; a
    // sound tree visits each entry once, so the section's size bounds it.
    visited_ += count;
    if (visited_ > section_.size() / tableEntrySize) malformed("its directory tables refer to each other");
    std::vector<std::pair<ResourceKey, std::uint32_t>> entries;
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = offset + tableHeaderSize + tableEntrySize * i;
      const std::uint32_t name = read32(section_, at);
      ResourceKey key;
      if (name & nameFlag) {
        key.named = true;
        key.name = string(name & ~nameFlag);
      } else {
        key.id = name;
      }
      entries.emplace_back(key, read32(section_, at + 4));
    }
    return entries;
  }

  std::uint32_t subdirectory(std::uint32_t word) const {
    if (!(word & subdirectoryFlag)) malformed("a data entry stands where a directory belongs");
    return word & ~subdirectoryFlag;
  }

  ResourceData data(std::uint32_t word) const {
    if (word & subdirectoryFlag) malformed("the tree is deeper than type, name and language");
    if (!fits(word, dataEntrySize, section_.size())) malformed("a data entry lies outside the section");
    const std::uint32_t rva = read32(section_, word);
    const std::uint32_t size = read32(section_, word + 4);
    if (rva < rva_ || !fits(rva - rva_, size, section_.size())) malformed("resource data lies outside the section");
    return {std::string(section_.substr(rva - rva_, size)), read32(section_, word + 8)};
  }

 private:
  std::u16string string(std::uint32_t offset) const {
    if (!fits(offset, 2, section_.size())) malformed("a name lies outside the section");
    const std::uint16_t length = read16(section_, offset);
    if (!fits(offset + 2, 2 * std::size_t{length}, section_.size())) malformed("a name runs past the section");
    std::u16string text;
    for (std::uint16_t i = 0; i < length; ++i) text += static_cast<char16_t>(read16(section_, offset + 2 + 2 * i));
    return text;
  }

  std::string_view section_;
  std::uint32_t rva_;
  mutable std::size_t visited_ = 0;
};

// Offsets assigned in a first pass so the tables can point forward.
struct Layout {
  std::map<const ResourceNames*, std::uint32_t> nameTables;
  std::map<const ResourceLanguages*, std::uint32_t> languageTables;
  std::map<std::u16string, std::uint32_t> strings;
  std::map<const ResourceData*, std::uint32_t> dataEntries;
  std::map<const ResourceData*, std::uint32_t> data;
  std::uint32_t size = 0;
};

std::uint32_t tableSize(std::size_t entries) {
  return static_cast<std::uint32_t>(tableHeaderSize + tableEntrySize * entries);
}

template <typename Map>
void collectNames(const Map& map, Layout& layout) {
  for (const auto& entry : map) {
    if (entry.first.named) layout.strings.emplace(entry.first.name, 0);
  }
}

bool isNamed(const ResourceKey& key) { return key.named; }
bool isNamed(std::uint32_t) { return false; }
std::uint32_t keyWord(const ResourceKey& key, const Layout& layout) {
  return key.named ? nameFlag | layout.strings.at(key.name) : key.id;
}
std::uint32_t keyWord(std::uint32_t language, const Layout&) { return language; }

template <typename Map>
void appendTable(std::string& out, const Map& map, const Layout& layout,
                 const std::function<std::uint32_t(const typename Map::mapped_type&)>& target) {
  std::uint16_t named = 0, numbered = 0;
  for (const auto& entry : map) ++(isNamed(entry.first) ? named : numbered);
  append32(out, 0);  // characteristics
  append32(out, 0);  // time stamp: none, so the same input gives the same bytes
  append32(out, 0);  // version
  append16(out, named);
  append16(out, numbered);
  for (const auto& [key, value] : map) {
    append32(out, keyWord(key, layout));
    append32(out, target(value));
  }
}

}  // namespace

bool ResourceKey::operator<(const ResourceKey& other) const {
  if (named != other.named) return named;
  return named ? name < other.name : id < other.id;
}

bool ResourceKey::operator==(const ResourceKey& other) const {
  return named == other.named && (named ? name == other.name : id == other.id);
}

ResourceTree parseResourceTree(std::string_view section, std::uint32_t sectionRva) {
  const TreeReader reader(section, sectionRva);
  ResourceTree tree;
  for (const auto& [type, typeWord] : reader.table(0)) {
    ResourceNames& names = tree[type];
    for (const auto& [name, nameWord] : reader.table(reader.subdirectory(typeWord))) {
      ResourceLanguages& languages = names[name];
      for (const auto& [language, languageWord] : reader.table(reader.subdirectory(nameWord))) {
        if (language.named) malformed("a language is named instead of numbered");
        languages[language.id] = reader.data(languageWord);
      }
    }
  }
  return tree;
}

std::string buildResourceSection(const ResourceTree& tree, std::uint32_t sectionRva) {
  Layout layout;
  std::uint32_t offset = tableSize(tree.size());
  collectNames(tree, layout);
  for (const auto& [type, names] : tree) {
    layout.nameTables[&names] = offset;
    offset += tableSize(names.size());
    collectNames(names, layout);
    for (const auto& [name, languages] : names) {
      layout.languageTables[&languages] = offset;
      offset += tableSize(languages.size());
    }
  }
  for (auto& [text, at] : layout.strings) {
    at = offset;
    offset += static_cast<std::uint32_t>(2 + 2 * text.size());
  }
  offset = alignUp(offset, 4);
  for (const auto& [type, names] : tree) {
    for (const auto& [name, languages] : names) {
      for (const auto& [language, data] : languages) {
        layout.dataEntries[&data] = offset;
        offset += dataEntrySize;
      }
    }
  }
  for (const auto& [type, names] : tree) {
    for (const auto& [name, languages] : names) {
      for (const auto& [language, data] : languages) {
        offset = alignUp(offset, 8);
        layout.data[&data] = offset;
        if (data.bytes.size() > 0x7FFFFFFF - offset) throw PackError("the resources are too large for a PE image");
        offset += static_cast<std::uint32_t>(data.bytes.size());
      }
    }
  }

  std::string out;
  out.reserve(offset);
  appendTable<ResourceTree>(out, tree, layout, [&](const ResourceNames& names) {
    return subdirectoryFlag | layout.nameTables.at(&names);
  });
  for (const auto& [type, names] : tree) {
    appendTable<ResourceNames>(out, names, layout, [&](const ResourceLanguages& languages) {
      return subdirectoryFlag | layout.languageTables.at(&languages);
    });
    for (const auto& [name, languages] : names) {
      appendTable<ResourceLanguages>(out, languages, layout,
                                     [&](const ResourceData& data) { return layout.dataEntries.at(&data); });
    }
  }
  for (const auto& [text, at] : layout.strings) {
    append16(out, static_cast<std::uint16_t>(text.size()));
    for (const char16_t unit : text) append16(out, static_cast<std::uint16_t>(unit));
  }
  out.resize(alignUp(static_cast<std::uint32_t>(out.size()), 4), '\0');
  for (const auto& [type, names] : tree) {
    for (const auto& [name, languages] : names) {
      for (const auto& [language, data] : languages) {
        append32(out, sectionRva + layout.data.at(&data));
        append32(out, static_cast<std::uint32_t>(data.bytes.size()));
        append32(out, data.codePage);
        append32(out, 0);
      }
    }
  }
  for (const auto& [type, names] : tree) {
    for (const auto& [name, languages] : names) {
      for (const auto& [language, data] : languages) {
        out.resize(layout.data.at(&data), '\0');
        out += data.bytes;
      }
    }
  }
  out.resize(alignUp(static_cast<std::uint32_t>(out.size()), 8), '\0');
  return out;
}

const ResourceData* findResource(const ResourceTree& tree, std::uint32_t type, std::uint32_t name) {
  const auto names = tree.find(ResourceKey::number(type));
  if (names == tree.end()) return nullptr;
  const auto languages = names->second.find(ResourceKey::number(name));
  if (languages == names->second.end() || languages->second.empty()) return nullptr;
  return &languages->second.begin()->second;
}

}  // namespace tenvik::packer
