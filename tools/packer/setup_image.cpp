#include "setup_image.h"

#include <algorithm>

#include "pack_error.h"
#include "pe_image.h"
#include "resource_tree.h"

namespace tenvik::packer {
namespace {

constexpr std::uint32_t languageNeutral = 0;

struct LoadedResources {
  PeImage image;
  int section = -1;
  ResourceTree tree;
};

LoadedResources loadResources(std::string bytes) {
  LoadedResources loaded;
  loaded.image = parsePeImage(std::move(bytes));
  loaded.section = resourceSectionIndex(loaded.image);
  if (loaded.section >= 0) {
    const PeSection& section = loaded.image.sections[static_cast<std::size_t>(loaded.section)];
    // The file data is padded to the file alignment; the virtual size is the
    // section's own length, when the linker recorded one.
    const std::uint32_t size = section.virtualSize != 0 ? std::min(section.rawSize, section.virtualSize) : section.rawSize;
    const std::string_view data = std::string_view(loaded.image.bytes).substr(section.rawOffset, size);
    loaded.tree = parseResourceTree(data, section.virtualAddress);
  }
  return loaded;
}

// The language the new payload gets: that of the one it replaces, else that
// of the program's other resources, so one resource compiler's habit holds.
std::uint32_t payloadLanguage(const ResourceTree& tree) {
  for (const std::uint32_t type : {rtBitmap, rtManifest, rtVersion, rtGroupIcon}) {
    const auto names = tree.find(ResourceKey::number(type));
    if (names == tree.end()) continue;
    const auto wanted = type == rtBitmap ? names->second.find(ResourceKey::number(payloadResourceId))
                                         : names->second.begin();
    if (wanted != names->second.end() && !wanted->second.empty()) return wanted->second.begin()->first;
  }
  return languageNeutral;
}

std::map<std::uint32_t, std::string> dataResourcesOf(const ResourceTree& tree) {
  std::map<std::uint32_t, std::string> found;
  const auto names = tree.find(ResourceKey::number(rtRcdata));
  if (names == tree.end()) return found;
  for (const auto& [key, languages] : names->second) {
    if (!key.named && !languages.empty()) found[key.id] = languages.begin()->second.bytes;
  }
  return found;
}

}  // namespace

SetupContents readSetupImage(std::string exe) {
  const LoadedResources loaded = loadResources(std::move(exe));
  const ResourceData* payload = findResource(loaded.tree, rtBitmap, payloadResourceId);
  if (payload == nullptr) throw PackError("it has no bitmap resource 102, so it carries no payload", exitNoPayload);
  SetupContents contents;
  contents.payloadResource = payload->bytes;
  if (const ResourceData* version = findResource(loaded.tree, rtVersion, 1)) {
    contents.version = readVersionRecord(version->bytes);
  }
  contents.dataResources = dataResourcesOf(loaded.tree);
  return contents;
}

StampResult stampSetup(std::string stub, std::string_view payloadResource, const StampOptions& options) {
  LoadedResources loaded = loadResources(std::move(stub));
  if (loaded.section < 0) {
    throw PackError("it has no resource section; use a Setup.exe built by this project as the stub", exitNotPe);
  }
  ResourceTree& tree = loaded.tree;
  const std::uint32_t language = payloadLanguage(tree);
  ResourceLanguages& payloads = tree[ResourceKey::number(rtBitmap)][ResourceKey::number(payloadResourceId)];
  payloads.clear();  // exactly one payload, whatever languages the stub had
  payloads[language] = {std::string(payloadResource), 0};

  if (options.icons) replaceIcons(tree, *options.icons, language);
  const VersionChanges& version = options.version;
  if (version.any()) {
    ResourceData* record = nullptr;
    const auto names = tree.find(ResourceKey::number(rtVersion));
    if (names != tree.end() && !names->second.empty() && !names->second.begin()->second.empty()) {
      record = &names->second.begin()->second.begin()->second;
    }
    if (record == nullptr) throw PackError("The stub has no version record whose details could be changed");
    record->bytes = rewriteVersionRecord(record->bytes, version);
  }

  for (const auto& [id, bytes] : options.dataResources) {
    ResourceLanguages& data = tree[ResourceKey::number(rtRcdata)][ResourceKey::number(id)];
    data.clear();
    data[language] = {bytes, 0};
  }

  const PeSection& section = loaded.image.sections[static_cast<std::size_t>(loaded.section)];
  const std::string content = buildResourceSection(tree, section.virtualAddress);
  RewriteResult rewritten = replaceSection(loaded.image, loaded.section, content);
  return {std::move(rewritten.bytes), rewritten.certificateRemoved};
}

std::map<std::uint32_t, std::string> readDataResources(std::string image) {
  return dataResourcesOf(loadResources(std::move(image)).tree);
}

std::optional<VersionSummary> readProgramVersion(std::string image) {
  const LoadedResources loaded = loadResources(std::move(image));
  const auto names = loaded.tree.find(ResourceKey::number(rtVersion));
  if (names == loaded.tree.end() || names->second.empty() || names->second.begin()->second.empty()) {
    return std::nullopt;
  }
  return readVersionRecord(names->second.begin()->second.begin()->second.bytes);
}

}  // namespace tenvik::packer
