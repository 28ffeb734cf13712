#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "icon_file.h"
#include "pack_error.h"
#include "packer_test_images.h"
#include "pe_image.h"
#include "resource_tree.h"
#include "setup_image.h"
#include "version_record.h"

namespace tenvik::packer {
namespace {

using namespace test;

const std::string manifest = "<assembly><requestedExecutionLevel level=\"requireAdministrator\"/></assembly>";
const std::string relocations = [] {
  std::string bytes(0x1234, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31 + 7);
  return bytes;
}();

ResourceTree stubResources(bool withPayload) {
  ResourceTree tree;
  tree[ResourceKey::number(rtManifest)][ResourceKey::number(1)][0x409] = {manifest, 0};
  tree[ResourceKey::number(rtVersion)][ResourceKey::number(1)][0x409] = {sampleVersionRecord(), 0};
  tree[ResourceKey::number(rtGroupIcon)][ResourceKey::number(1)][0x409] = {"old group", 0};
  tree[ResourceKey::number(rtIcon)][ResourceKey::number(1)][0x409] = {"old icon", 0};
  ResourceKey custom;
  custom.named = true;
  custom.name = u"CUSTOM";
  tree[custom][ResourceKey::number(7)][0] = {"kept as it is", 1252};
  if (withPayload) tree[ResourceKey::number(rtBitmap)][ResourceKey::number(102)][0x409] = {"old payload", 0};
  return tree;
}

std::string stub(bool withPayload = true, const std::string& certificate = "") {
  return minimalPe(buildResourceSection(stubResources(withPayload), testRsrcRva), relocations, certificate);
}

ResourceTree resourcesOf(const std::string& exe) {
  const PeImage image = parsePeImage(exe);
  const PeSection& section = image.sections.at(static_cast<std::size_t>(resourceSectionIndex(image)));
  return parseResourceTree(std::string_view(image.bytes).substr(section.rawOffset, section.virtualSize),
                           section.virtualAddress);
}

std::uint32_t align(std::uint32_t v, std::uint32_t a) { return (v + a - 1) / a * a; }

TEST(StampSetup, ReplacesThePayloadKeepsTheRestAndMovesTheRelocations) {
  const std::string original = stub();
  const ResourceTree before = resourcesOf(original);
  for (const std::size_t size : {10u, 5000u, 70000u, 300000u}) {
    SCOPED_TRACE(size);
    std::string payload(size, 'p');
    payload[0] = 'P';
    const StampResult result = stampSetup(original, payload, {});
    const std::string& out = result.bytes;
    EXPECT_FALSE(result.certificateRemoved);

    // Read back at the fixed offsets of the layout, not through the parser.
    const std::size_t rsrcHeader = testSectionTable + 40, relocHeader = testSectionTable + 80;
    const std::uint32_t rsrcSize = get32(out, rsrcHeader + 8);
    const std::uint32_t relocRva = get32(out, relocHeader + 12), relocOffset = get32(out, relocHeader + 20);
    EXPECT_GT(rsrcSize, size);
    EXPECT_EQ(get32(out, rsrcHeader + 16), align(rsrcSize, testFileAlignment));
    EXPECT_EQ(relocRva, testRsrcRva + align(rsrcSize, testSectionAlignment));
    EXPECT_EQ(relocOffset, 0x600 + align(rsrcSize, testFileAlignment));
    EXPECT_EQ(out.substr(relocOffset, relocations.size()), relocations);
    EXPECT_EQ(get32(out, testOptionalHeader + 96 + 2 * 8), testRsrcRva);
    EXPECT_EQ(get32(out, testOptionalHeader + 96 + 2 * 8 + 4), rsrcSize);
    EXPECT_EQ(get32(out, testOptionalHeader + 96 + 5 * 8), relocRva);
    EXPECT_EQ(get32(out, testOptionalHeader + 96 + 5 * 8 + 4), relocations.size());
    EXPECT_EQ(get32(out, testOptionalHeader + 56), relocRva + 0x2000);  // SizeOfImage
    EXPECT_EQ(get32(out, testOptionalHeader + 8),
              get32(out, rsrcHeader + 16) + get32(out, relocHeader + 16));  // SizeOfInitializedData
    EXPECT_EQ(out.size(), relocOffset + align(static_cast<std::uint32_t>(relocations.size()), testFileAlignment));
    EXPECT_EQ(get32(out, testOptionalHeader + 64), peChecksum(out, testOptionalHeader + 64));
    EXPECT_EQ(out.substr(0, 0x600).substr(0x400), original.substr(0x400, 0x200));  // .text untouched

    ResourceTree after = resourcesOf(out);
    const auto& payloads = after.at(ResourceKey::number(rtBitmap)).at(ResourceKey::number(102));
    ASSERT_EQ(payloads.size(), 1u);
    EXPECT_EQ(payloads.begin()->first, 0x409u);
    EXPECT_EQ(payloads.begin()->second.bytes, payload);
    after[ResourceKey::number(rtBitmap)][ResourceKey::number(102)].begin()->second.bytes = "old payload";
    EXPECT_EQ(buildResourceSection(after, testRsrcRva), buildResourceSection(before, testRsrcRva));
    EXPECT_EQ(readSetupImage(out).payloadResource, payload);
  }
}

TEST(StampSetup, AddsThePayloadToAStubWithoutOne) {
  const StampResult result = stampSetup(stub(false), "new payload", {});
  EXPECT_EQ(readSetupImage(result.bytes).payloadResource, "new payload");
  EXPECT_EQ(resourcesOf(result.bytes).at(ResourceKey::number(rtBitmap)).at(ResourceKey::number(102)).count(0x409),
            1u);
}

TEST(StampSetup, DropsASignatureAndSaysSo) {
  const std::string signedStub = stub(true, std::string(1000, 's'));
  const StampResult result = stampSetup(signedStub, "payload", {});
  EXPECT_TRUE(result.certificateRemoved);
  EXPECT_EQ(get32(result.bytes, testOptionalHeader + 96 + 4 * 8), 0u);
  EXPECT_EQ(get32(result.bytes, testOptionalHeader + 96 + 4 * 8 + 4), 0u);
  EXPECT_EQ(result.bytes, stampSetup(stub(), "payload", {}).bytes);
}

TEST(StampSetup, ChangesVersionAndIconAsAsked) {
  StampOptions options;
  options.version.productName = "Acme Installer";
  options.version.company = "Acme \xc3\x9f GmbH";
  options.version.fileVersion = VersionNumber{2, 1, 65535, 9};
  IconImage small{16, 16, 0, 1, 32, std::string(300, 'a')};
  IconImage large{0, 0, 0, 1, 32, std::string("\x89PNG rest", 9)};
  options.icons = std::vector<IconImage>{small, large};
  const std::string out = stampSetup(stub(), "payload", options).bytes;

  const auto version = readSetupImage(out).version;
  ASSERT_TRUE(version);
  EXPECT_EQ(version->fileVersion, (VersionNumber{2, 1, 65535, 9}));
  EXPECT_EQ(version->productVersion, (VersionNumber{2, 1, 65535, 9}));
  EXPECT_EQ(version->strings, (std::vector<std::pair<std::string, std::string>>{
                                  {"CompanyName", "Acme \xc3\x9f GmbH"},
                                  {"FileDescription", "Tenvik Setup"},
                                  {"FileVersion", "2.1.65535.9"},
                                  {"ProductName", "Acme Installer"},
                                  {"ProductVersion", "2.1.65535.9"}}));

  const ResourceTree tree = resourcesOf(out);
  const auto& icons = tree.at(ResourceKey::number(rtIcon));
  ASSERT_EQ(icons.size(), 2u);
  EXPECT_EQ(icons.at(ResourceKey::number(1)).at(0x409).bytes, small.data);
  EXPECT_EQ(icons.at(ResourceKey::number(2)).at(0x409).bytes, large.data);
  const std::string group = tree.at(ResourceKey::number(rtGroupIcon)).at(ResourceKey::number(1)).at(0x409).bytes;
  EXPECT_EQ(group, le16(0) + le16(1) + le16(2) + std::string("\x10\x10\0\0", 4) + le16(1) + le16(32) + le32(300) +
                       le16(1) + std::string(4, '\0') + le16(1) + le16(32) + le32(9) + le16(2));
  EXPECT_EQ(tree.at(ResourceKey::number(rtManifest)).at(ResourceKey::number(1)).at(0x409).bytes, manifest);
}

// What a .NET project's properties give: a product version text that is not
// four numbers, a copyright the stub's record lacks, a description replaced.
TEST(StampSetup, TakesTheProductVersionTextCopyrightAndDescription) {
  StampOptions options;
  options.version.fileVersion = VersionNumber{2, 3, 4, 5};
  options.version.productVersionText = "2.3.4-beta+abc";
  options.version.copyright = "\xc2\xa9 2026 Acme";
  options.version.description = "Acme installer";
  const auto version = readSetupImage(stampSetup(stub(), "payload", options).bytes).version;
  ASSERT_TRUE(version);
  EXPECT_EQ(version->productVersion, (VersionNumber{2, 3, 4, 5}));
  EXPECT_EQ(version->strings, (std::vector<std::pair<std::string, std::string>>{
                                  {"CompanyName", "Tenvik"},
                                  {"FileDescription", "Acme installer"},
                                  {"FileVersion", "2.3.4.5"},
                                  {"ProductName", "Tenvik Setup"},
                                  {"ProductVersion", "2.3.4-beta+abc"},
                                  {"LegalCopyright", "\xc2\xa9 2026 Acme"}}));
}

TEST(VersionRecord, AnUnchangedRecordKeepsItsBytes) {
  EXPECT_EQ(rewriteVersionRecord(sampleVersionRecord(), {}), sampleVersionRecord());
}

TEST(IconFile, ReadsImagesAndRefusesDamage) {
  const std::string image = std::string(40, 'd');
  const std::string ico = le16(0) + le16(1) + le16(1) + std::string("\x20\x20\0\0", 4) + le16(1) + le16(32) +
                          le32(40) + le32(22) + image;
  const auto images = parseIconFile(ico);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].width, 32);
  EXPECT_EQ(images[0].data, image);
  for (const std::string& bad : {std::string("BM not an icon"), ico.substr(0, 30), le16(0) + le16(1) + le16(0),
                                 ico.substr(0, 6) + ico.substr(6, 8) + le32(40) + le32(5000) + image}) {
    EXPECT_THROW(parseIconFile(bad), PackError);
  }
}

TEST(StampSetup, RefusesImagesItCannotRewrite) {
  const std::string good = stub();
  const auto changed = [&](std::size_t at, const std::string& bytes) {
    std::string copy = good;
    copy.replace(at, bytes.size(), bytes);
    return copy;
  };
  const std::pair<const char*, std::string> cases[] = {
      {"not a PE at all", "hello, world"},
      {"MZ without PE", good.substr(0, 0x80)},
      {"PE for x64", changed(testPeOffset + 4, le16(0x8664))},
      {"PE32+", changed(testOptionalHeader, le16(0x20B))},
      {"section beyond the file", good.substr(0, good.size() - 0x200)},
      {"damaged resource directory", changed(0x600 + 12, le16(0x7FFF))},
      {"data section behind the resources", [&] {
         std::string copy = changed(testSectionTable + 80, std::string(".data\0\0\0", 8));
         return copy.replace(testSectionTable + 80 + 36, 4, le32(0xC0000040));
       }()},
  };
  for (const auto& [what, image] : cases) {
    SCOPED_TRACE(what);
    try {
      stampSetup(image, "payload", {});
      ADD_FAILURE() << "stamped";
    } catch (const PackError& failure) {
      EXPECT_EQ(failure.exitCode, exitNotPe) << failure.what();
    }
  }
}

// The Setup.exe of a cross build, when the environment names one: stamping
// its own payload must give back the very same file.
TEST(StampSetup, RestampingABuiltSetupWithItsOwnPayloadChangesNothing) {
  const char* path = std::getenv("TENVIK_SETUP_EXE");
  if (path == nullptr) GTEST_SKIP() << "TENVIK_SETUP_EXE names no cross-built Setup.exe";
  std::ifstream in(path, std::ios::binary);
  const std::string exe((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const SetupContents contents = readSetupImage(exe);
  EXPECT_EQ(stampSetup(exe, contents.payloadResource, {}).bytes, exe);
  const std::string bigger = contents.payloadResource + std::string(100000, '\0');
  EXPECT_EQ(readSetupImage(stampSetup(exe, bigger, {}).bytes).payloadResource, bigger);
}

}  // namespace
}  // namespace tenvik::packer
