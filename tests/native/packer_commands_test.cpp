#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "json_writer.h"
#include "packer.h"
#include "packer_test_images.h"
#include "packer_test_files.h"
#include "resource_tree.h"

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

using namespace test;

std::map<std::string, std::string> filesBelow(const fs::path& root) {
  std::map<std::string, std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    if (item.is_regular_file()) files[item.path().lexically_relative(root).generic_u8string()] = readBytes(item);
  }
  return files;
}

std::string stubExe() {
  ResourceTree tree;
  tree[ResourceKey::number(rtManifest)][ResourceKey::number(1)][0x409] = {"<assembly/>", 0};
  tree[ResourceKey::number(rtVersion)][ResourceKey::number(1)][0x409] = {sampleVersionRecord(), 0};
  return minimalPe(buildResourceSection(tree, testRsrcRva), std::string(64, 'r'));
}

class PackerCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "packer-commands-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    writeBytes(root_ / "stub.exe", stubExe());
  }
  void TearDown() override { fs::remove_all(root_); }

  int run(const std::vector<std::string>& arguments) {
    out_.str("");
    err_.str("");
    return runPacker(arguments, out_, err_);
  }
  std::string path(const char* name) const { return (root_ / name).string(); }

  fs::path root_;
  std::ostringstream out_, err_;
};

TEST_F(PackerCommands, PackListExtractRoundTrip) {
  const std::map<std::string, std::string> files = {
      {"Main.dll", "main"},
      {"Main.runtimeconfig.json",
       "{\"runtimeOptions\":{\"framework\":{\"name\":\"Microsoft.NETCore.App\",\"version\":\"6.0.0\"}}}"},
      {"de/Main.resources.dll", std::string(70000, 'd')},
      {"empty.txt", ""},
      {"\xc3\xa9t\xc3\xa9/caf\xc3\xa9 (quoted).txt", "caf\xc3\xa9"},
  };
  for (const auto& [name, data] : files) writeBytes(root_ / "app" / fs::u8path(name), data);

  ASSERT_EQ(run({"pack", "--entry", "Main.dll", "--stub", path("stub.exe"), "--product-name", "Acme",
                 "--file-version", "3.2.1.0", "--output", path("Setup.exe"), path("app")}),
            0)
      << err_.str();
  EXPECT_TRUE(err_.str().empty()) << err_.str();
  EXPECT_FALSE(fs::exists(path("Setup.exe.partial")));

  ASSERT_EQ(run({"list", "--json", path("Setup.exe")}), 0) << err_.str();
  const std::string json = out_.str();
  const std::string expectedEntries =
      "\"entries\":[{\"name\":\"Main.dll\",\"size\":4,\"safe\":true},"
      "{\"name\":\"Main.runtimeconfig.json\",\"size\":83,\"safe\":true},"
      "{\"name\":\"de/Main.resources.dll\",\"size\":70000,\"safe\":true},"
      "{\"name\":\"empty.txt\",\"size\":0,\"safe\":true},"
      "{\"name\":\"\xc3\xa9t\xc3\xa9/caf\xc3\xa9 (quoted).txt\",\"size\":5,\"safe\":true}]";
  EXPECT_NE(json.find(expectedEntries), std::string::npos) << json;
  for (const char* part : {"\"launchTarget\":\"Main.dll\"", "\"uncompressedSize\":70217", "\"intact\":true",
                           "\"fileVersion\":\"3.2.1.0\"", "\"ProductName\":\"Acme\"", "\"kind\":\"setup\""}) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  }
  EXPECT_EQ(json.find("\"message\""), std::string::npos);
  EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 1) << "one object on one line";

  ASSERT_EQ(run({"list", path("Setup.exe")}), 0);
  EXPECT_NE(out_.str().find("Main.dll  (launched)"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("intact: yes"), std::string::npos) << out_.str();

  ASSERT_EQ(run({"extract", path("Setup.exe"), path("out/deeper")}), 0) << err_.str();
  EXPECT_EQ(filesBelow(root_ / "out/deeper"), files);

  // The bitmap road gives the same Setup.exe, and the old command line still packs.
  ASSERT_EQ(run({"--entry", "Main.dll", "--output", path("payload.bmp"), path("app")}), 0) << err_.str();
  ASSERT_EQ(run({"pack", "--payload", path("payload.bmp"), "--stub", path("stub.exe"), "--product-name", "Acme",
                 "--file-version", "3.2.1.0", "--runtime", "from-app", "--output", path("Again.exe")}),
            0)
      << err_.str();
  EXPECT_EQ(readBytes(path("Again.exe")), readBytes(path("Setup.exe")));
  ASSERT_EQ(run({"extract", path("payload.bmp"), path("from-bitmap")}), 0) << err_.str();
  EXPECT_EQ(filesBelow(root_ / "from-bitmap"), files);
}

struct Damage {
  const char* what;
  std::string file;  // the whole input file
  int code;
  const char* message;
};

std::vector<Damage> damagedInputs() {
  const std::string good = archiveOf({{"App.dll", "app"}, {"lib/b.dll", std::string(5000, 'b')}});
  const std::string gz = gzipOf(good);
  std::string badCrc = gz;
  badCrc[badCrc.size() - 6] ^= 0x55;
  std::string pastEnd = resourceOf(gz);
  pastEnd.replace(40, 4, le32(0x7FFFFFFF));
  std::string badSize = bitmapFileOf(resourceOf(gz));
  badSize.replace(2, 4, le32(3));
  ResourceTree noPayload;
  noPayload[ResourceKey::number(rtManifest)][ResourceKey::number(1)][0x409] = {"<assembly/>", 0};
  return {
      {"not a PE", "hello, world", 3, "neither a Windows program nor a payload bitmap"},
      {"PE for x64", [] { std::string pe = stubExe(); pe[testPeOffset + 5] = '\x86'; return pe; }(), 3, "not for 32-bit x86"},
      {"PE without resource 102", minimalPe(buildResourceSection(noPayload, testRsrcRva), "r"), 4,
       "no bitmap resource 102"},
      {"truncated payload", bitmapFileOf(resourceOf(gz.substr(0, gz.size() / 2))), 5, "cut short"},
      {"garbage payload", bitmapFileOf(resourceOf("this is no gzip member")), 5, "not a gzip member"},
      {"damaged deflate data", bitmapFileOf(resourceOf(gz.substr(0, 10) + std::string(40, '\xff') + gz.substr(50))),
       5, "damaged"},
      {"bad CRC", bitmapFileOf(resourceOf(badCrc)), 5, "CRC-32"},
      {"archive cut inside an entry", bitmapFileOf(resourceOf(gzipOf(good.substr(0, good.size() - 3)))), 5,
       "ends inside entry 2"},
      {"bytes after the member", bitmapFileOf(resourceOf(gz + "tail")), 5, "follow the gzip member"},
      {"empty payload", bitmapFileOf(resourceOf("")), 5, "empty"},
      {"empty archive", bitmapFileOf(resourceOf(gzipOf(""))), 5, "no entries"},
      {"length past the pixel area", bitmapFileOf(pastEnd), 5, "points past the end"},
      {"bitmap size field", badSize, 5, "header declares"},
      {"unsafe name", bitmapFileOf(resourceOf(gzipOf(archiveOf({{"App.dll", "app"}, {"../evil.dll", "x"}})))), 6,
       "\"../evil.dll\", which extraction refuses"},
      {"unsafe first name", bitmapFileOf(resourceOf(gzipOf(archiveOf({{"C:/evil.dll", "x"}, {"App.dll", "a"}})))),
       6, "nothing would be launched"},
      {"zero byte in a name",
       bitmapFileOf(resourceOf(gzipOf(archiveOf({{"App.dll", "app"}, {std::string("lib/b.dll\0../x", 14), "x"}})))),
       6, "\"lib/b.dll\\0../x\", which extraction refuses"},
  };
}

TEST_F(PackerCommands, DamagedInputsAreNamedAndNeverWrittenAsWhole) {
  for (const Damage& damage : damagedInputs()) {
    SCOPED_TRACE(damage.what);
    const std::string input = path("input");
    writeBytes(input, damage.file);

    EXPECT_EQ(run({"list", input}), damage.code);
    EXPECT_NE(err_.str().find(damage.message), std::string::npos) << err_.str();
    EXPECT_EQ(run({"list", "--json", input}), damage.code);
    EXPECT_NE(out_.str().find("\"intact\":false"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("\"message\":"), std::string::npos) << out_.str();
    if (damage.code == 5) {
      EXPECT_NE(out_.str().find(damage.message), std::string::npos) << out_.str();
    }

    fs::remove_all(root_ / "out");
    EXPECT_EQ(run({"extract", input, path("out")}), damage.code);
    const auto written = filesBelow(root_ / "out");
    if (damage.code == 6) {
      EXPECT_EQ(written, (std::map<std::string, std::string>{{"App.dll", damage.what[7] == 'f' ? "a" : "app"}}));
    } else {
      EXPECT_TRUE(written.empty());
    }

    if (damage.file.rfind("BM", 0) == 0) {
      EXPECT_EQ(run({"pack", "--payload", input, "--stub", path("stub.exe"), "--output", path("Setup.exe")}),
                damage.code);
      EXPECT_NE(err_.str().find(damage.message), std::string::npos) << err_.str();
      EXPECT_FALSE(fs::exists(path("Setup.exe")));
      EXPECT_FALSE(fs::exists(path("Setup.exe.partial")));
    }
  }
}

TEST_F(PackerCommands, ExtractionDoesNotFollowLinksOutOfTheDirectory) {
#ifdef _WIN32
  GTEST_SKIP() << "the standard library makes no links on Windows";
#endif
  writeBytes(root_ / "input.bmp",
             bitmapFileOf(resourceOf(gzipOf(archiveOf({{"App.dll", "app"}, {"link/planted.dll", "x"}})))));
  fs::create_directories(root_ / "out");
  fs::create_directories(root_ / "elsewhere");
  fs::create_directory_symlink(root_ / "elsewhere", root_ / "out/link");
  EXPECT_EQ(run({"extract", path("input.bmp"), path("out")}), 6);
  EXPECT_NE(err_.str().find("refused \"link/planted.dll\""), std::string::npos) << err_.str();
  EXPECT_TRUE(fs::is_empty(root_ / "elsewhere"));
  EXPECT_EQ(readBytes(root_ / "out/App.dll"), "app");
}

TEST_F(PackerCommands, StubsThatCannotBeStampedLeaveNoOutput) {
  writeBytes(root_ / "app/App.dll", "app");
  writeBytes(root_ / "app/App.runtimeconfig.json",
             "{\"runtimeOptions\":{\"framework\":{\"name\":\"Microsoft.NETCore.App\",\"version\":\"6.0.0\"}}}");
  writeBytes(root_ / "not-pe.exe", "MZ but nothing more");
  std::string signedStub = stubExe();
  signedStub.resize((signedStub.size() + 7) / 8 * 8, '\0');
  const std::size_t at = testOptionalHeader + 96 + 4 * 8;
  signedStub.replace(at, 8, le32(static_cast<std::uint32_t>(signedStub.size())) + le32(24));
  signedStub += le32(24) + le16(0x200) + le16(2) + std::string(16, 'c');
  writeBytes(root_ / "signed.exe", signedStub);

  EXPECT_EQ(run({"pack", "--entry", "App.dll", "--stub", path("not-pe.exe"), "--output", path("S.exe"), path("app")}),
            3);
  EXPECT_NE(err_.str().find("The stub"), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(path("S.exe")));
  EXPECT_EQ(run({"pack", "--entry", "App.dll", "--stub", path("missing.exe"), "--output", path("S.exe"),
                 path("app")}),
            1);
  EXPECT_FALSE(fs::exists(path("S.exe")));

  ASSERT_EQ(run({"pack", "--entry", "App.dll", "--stub", path("signed.exe"), "--output", path("S.exe"), path("app")}),
            0);
  EXPECT_NE(err_.str().find("was signed"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("sign \"" + path("S.exe") + "\" again"), std::string::npos) << err_.str();
  EXPECT_EQ(run({"list", path("S.exe")}), 0);
}

TEST_F(PackerCommands, WarnsAboutPathsWindowsCannotWrite) {
  // "C:\ProgramData\Tenvik\Setup.tmp\" is 32 characters: 227 more reach 259.
  const std::string longest = std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(25, 'c');
  const std::string tooLong = std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(26, 'd');
  writeBytes(root_ / "app/App.dll", "app");
  writeBytes(root_ / "app" / longest, "fits");
  writeBytes(root_ / "app" / tooLong, "does not fit");
  ASSERT_EQ(run({"pack", "--entry", "App.dll", "--output", path("p.bmp"), path("app")}), 0) << err_.str();
  EXPECT_EQ(err_.str().find(longest), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("warning: \"" + tooLong + "\" unpacks to a path of 260 characters"), std::string::npos)
      << err_.str();

  // A shorter product word moves the limit.
  ASSERT_EQ(run({"pack", "--entry", "App.dll", "--product-word", "Acm", "--output", path("p.bmp"), path("app")}), 0);
  EXPECT_TRUE(err_.str().empty()) << err_.str();
  ASSERT_EQ(run({"pack", "--entry", "App.dll", "--product-word", "Tenvik.Longer", "--output", path("p.bmp"),
                 path("app")}),
            0);
  EXPECT_NE(err_.str().find(longest), std::string::npos) << err_.str();
}

TEST_F(PackerCommands, HelpAndMalformedCommandLines) {
  ASSERT_EQ(run({"--help"}), 0);
  for (const char* example : {"tenvik-pack pack --entry MyApp.dll --output payload.bmp",
                              "tenvik-pack pack --payload payload.bmp --stub", "tenvik-pack list MyAppSetup.exe",
                              "tenvik-pack list --json", "tenvik-pack extract MyAppSetup.exe", "exit codes:"}) {
    EXPECT_NE(out_.str().find(example), std::string::npos) << example;
  }
  const std::string stub = path("stub.exe");
  const std::vector<std::string> commandLines[] = {
      {"pack", "--payload", "p.bmp", "--output", "o.exe"},
      {"pack", "--payload", "p.bmp", "--stub", stub, "--output", "o.exe", "folder"},
      {"pack", "--entry", "A.dll", "--icon", "a.ico", "--output", "o.bmp", "folder"},
      {"pack", "--entry", "A.dll", "--stub", stub, "--file-version", "1.2.3", "--output", "o.exe", "folder"},
      {"pack", "--entry", "A.dll", "--stub", stub, "--file-version", "1.2.3.65536", "--output", "o.exe", "folder"},
      {"pack", "--entry", "A.dll", "--entry", "B.dll", "--output", "o.bmp", "folder"},
      {"list"},
      {"list", "--bogus", stub},
      {"list", stub, stub},
      {"extract", stub},
      // An option given twice, a flag as well as one with a value.
      {"list", "--json", "--json", stub},
      {"pack", "--payload", "p.bmp", "--stub", stub, "--output", "o.exe", "--output", "p.exe"},
  };
  for (const auto& arguments : commandLines) {
    EXPECT_EQ(run(arguments), 2) << ::testing::PrintToString(arguments);
    EXPECT_NE(err_.str().find("usage:"), std::string::npos) << err_.str();
  }
  EXPECT_EQ(run({"list", "--json", "--json", stub}), 2);
  EXPECT_NE(err_.str().find("--json is given twice"), std::string::npos) << err_.str();
}

TEST_F(PackerCommands, ListJsonForAFileWithoutAPayloadHasTheFailureKeys) {
  const std::string input = path("input");
  writeBytes(input, "hello, world");
  EXPECT_EQ(run({"list", "--json", input}), 3);
  // The path as JSON writes it: a Windows one has its backslashes escaped.
  EXPECT_EQ(out_.str(), "{\"file\":" + jsonString(input) +
                            ",\"entries\":[],\"launchTarget\":null,\"intact\":false,\"message\":" +
                            jsonString("\"" + input + "\" is neither a Windows program nor a payload bitmap") + "}\n");
}

}  // namespace
}  // namespace tenvik::packer
