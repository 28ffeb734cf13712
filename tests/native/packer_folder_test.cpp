#include "packer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bitmap_container.h"
#include "package/gzstream.h"
#include "package/package_archive.h"
#include "package/payload_container.h"
#include "packer_test_files.h"

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

using test::readBytes;
using test::writeBytes;

class PackerFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "packer-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    app_ = root_ / "app";
    fs::create_directories(app_);
  }
  void TearDown() override { fs::remove_all(root_); }

  // Runs the command line and returns its exit code; out and err are kept.
  int pack(const std::vector<std::string>& arguments) {
    out_.str("");
    err_.str("");
    return runPacker(arguments, out_, err_);
  }

  int packApp(const std::string& entry, const fs::path& folder) {
    return pack({"--entry", entry, "--output", output().string(), folder.string()});
  }

  fs::path output() const { return root_ / "payload.bmp"; }

  // Undoes everything the bootstrapper undoes: strips the file header as the
  // resource compiler does, decodes the container, writes the package file
  // and reads it back through the gzip stream.
  std::vector<PackageEntry> unpack(const fs::path& bitmap) {
    const std::string resource = readBytes(bitmap).substr(bitmapFileHeaderSize);
    const auto payload = decodePayload(resource);
    EXPECT_TRUE(payload);
    if (!payload) return {};
    const fs::path package = root_ / ".package";
    writeBytes(package, std::string(*payload));
    igzstream in(package.string().c_str());
    std::vector<PackageEntry> entries;
    while (in.peek() != EOF) {
      auto entry = readEntry(in);
      EXPECT_TRUE(entry);
      if (!entry) break;
      entries.push_back(*entry);
    }
    return entries;
  }

  fs::path root_, app_;
  std::ostringstream out_, err_;
};

TEST_F(PackerFolder, RoundTripsEveryFileWithTheEntryFirst) {
  std::string binary(300000, '\0');
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 2654435761u) >> 13);
  const std::map<std::string, std::string> files = {
      {"Main.dll", "main"},
      {"a.json", "{}"},
      {"Z.txt", "upper case sorts first"},
      {"de/Main.resources.dll", "de"},
      {"runtimes/win-x86/native/big.bin", binary},
      {"empty.txt", ""},
      {"\xc3\xa9t\xc3\xa9/caf\xc3\xa9.txt", "caf\xc3\xa9"},
  };
  for (const auto& [name, content] : files) writeBytes(app_ / fs::u8path(name), content);
  fs::create_directories(app_ / "empty-directory");

  ASSERT_EQ(packApp("Main.dll", app_), 0) << err_.str();
  const auto entries = unpack(output());
  std::vector<std::string> names;
  for (const auto& e : entries) {
    names.push_back(e.name);
    std::string slashed = e.name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    ASSERT_TRUE(files.count(slashed)) << slashed;
    EXPECT_EQ(e.data, files.at(slashed)) << slashed;
  }
  // The entry first, then byte-wise order of the "/"-separated names.
  EXPECT_EQ(names, (std::vector<std::string>{
                       "Main.dll", "Z.txt", "a.json", "de\\Main.resources.dll", "empty.txt",
                       "runtimes\\win-x86\\native\\big.bin",
                       "\xc3\xa9t\xc3\xa9\\caf\xc3\xa9.txt"}));
  EXPECT_NE(out_.str().find("7 entries"), std::string::npos) << out_.str();
}

TEST_F(PackerFolder, PayloadIsOneGzipMemberWithABareHeader) {
  writeBytes(app_ / "Main.dll", "main");
  PackSummary summary;
  const std::string payload = packFolder(app_, "Main.dll", &summary);
  ASSERT_GE(payload.size(), 18u);
  EXPECT_EQ(payload.substr(0, 4), std::string("\x1f\x8b\x08\x00", 4));  // deflate, no flags
  EXPECT_EQ(payload.substr(4, 4), std::string(4, '\0'));             // no time stamp
  EXPECT_EQ(payload[9], '\xff');  // no system either: the same bytes wherever it is packed
  EXPECT_EQ(summary.entries, 1u);
  EXPECT_EQ(summary.archiveBytes, 4u + 8 + 4 + 4);
}

TEST_F(PackerFolder, SameFolderGivesTheSameBytes) {
  writeBytes(app_ / "Main.dll", "main");
  writeBytes(app_ / "b/c", "c");
  ASSERT_EQ(packApp("Main.dll", app_), 0);
  const std::string first = readBytes(output());
  ASSERT_EQ(packApp("./Main.dll", app_), 0);
  EXPECT_EQ(readBytes(output()), first);
}

TEST_F(PackerFolder, FollowsLinksToFilesInsideTheFolder) {
#ifdef _WIN32
  GTEST_SKIP() << "links are not followed on Windows";
#endif
  writeBytes(app_ / "Main.dll", "main");
  writeBytes(app_ / "real/data.bin", "data");
  fs::create_symlink("real/data.bin", app_ / "alias.bin");
  ASSERT_EQ(packApp("Main.dll", app_), 0) << err_.str();
  const auto entries = unpack(output());
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].name, "alias.bin");
  EXPECT_EQ(entries[1].data, "data");
}

TEST_F(PackerFolder, RefusesWhatExtractionCouldNotWriteFaithfully) {
  struct Case {
    const char* what;
    void (*prepare)(const fs::path& app, const fs::path& root);
    const char* entry;
  };
  const Case cases[] = {
      {"missing entry", [](const fs::path&, const fs::path&) {}, "Missing.dll"},
      {"entry outside", [](const fs::path&, const fs::path& root) { writeBytes(root / "x.dll", "x"); },
       "../x.dll"},
      {"absolute entry", [](const fs::path&, const fs::path&) {}, "/etc/hostname"},
      {"entry is a directory", [](const fs::path& app, const fs::path&) { fs::create_directories(app / "d"); },
       "d"},
#ifndef _WIN32  // links, pipes, and names Windows cannot give a file
      {"link outside",
       [](const fs::path& app, const fs::path& root) {
         writeBytes(root / "secret", "s");
         fs::create_symlink(root / "secret", app / "leak");
       },
       "Main.dll"},
      {"dangling link", [](const fs::path& app, const fs::path&) { fs::create_symlink("nowhere", app / "dead"); },
       "Main.dll"},
      {"directory link",
       [](const fs::path& app, const fs::path&) { fs::create_directory_symlink(".", app / "loop"); },
       "Main.dll"},
      {"colon in a name", [](const fs::path& app, const fs::path&) { writeBytes(app / "a:b", "x"); },
       "Main.dll"},
      {"backslash in a name", [](const fs::path& app, const fs::path&) { writeBytes(app / "a\\b", "x"); },
       "Main.dll"},
      {"quote in a name", [](const fs::path& app, const fs::path&) { writeBytes(app / "x\" --evil \"y", "x"); },
       "Main.dll"},
      {"wildcard in a name", [](const fs::path& app, const fs::path&) { writeBytes(app / "sub/what?.txt", "x"); },
       "Main.dll"},
      {"control character in a name", [](const fs::path& app, const fs::path&) { writeBytes(app / "tab\tname", "x"); },
       "Main.dll"},
      {"device name", [](const fs::path& app, const fs::path&) { writeBytes(app / "sub/NUL.txt", "x"); },
       "Main.dll"},
      {"only dots", [](const fs::path& app, const fs::path&) { writeBytes(app / "...", "x"); }, "Main.dll"},
      {"not UTF-8", [](const fs::path& app, const fs::path&) { writeBytes(app / "caf\xe9", "x"); },
       "Main.dll"},
      {"pipe", [](const fs::path& app, const fs::path&) { mkfifo((app / "pipe").c_str(), 0600); },
       "Main.dll"},
#endif
  };
  for (const auto& c : cases) {
    fs::remove_all(app_);
    writeBytes(app_ / "Main.dll", "main");
    c.prepare(app_, root_);
    writeBytes(output(), "previous payload");
    EXPECT_EQ(packApp(c.entry, app_), 1) << c.what;
    EXPECT_FALSE(err_.str().empty()) << c.what;
    EXPECT_EQ(readBytes(output()), "previous payload") << c.what;
    EXPECT_FALSE(fs::exists(root_ / "payload.bmp.partial")) << c.what;
  }
}

TEST_F(PackerFolder, MissingFolderFails) {
  EXPECT_EQ(packApp("Main.dll", root_ / "no-such-folder"), 1);
  EXPECT_NE(err_.str().find("does not exist"), std::string::npos) << err_.str();
  EXPECT_FALSE(fs::exists(output()));
}

TEST_F(PackerFolder, MalformedCommandLinesAreUsageErrors) {
  writeBytes(app_ / "Main.dll", "main");
  const std::string out = output().string(), app = app_.string();
  const std::vector<std::string> commandLines[] = {
      {},
      {app},
      {"--entry", "Main.dll", app},
      {"--output", out, app},
      {"--entry", "Main.dll", "--output", out},
      {"--entry", "Main.dll", "--output", out, app, app},
      {"--entry", "Main.dll", "--output", out, "--level", "9", app},
      {"--entry", "Main.dll", "--output"},
      {"--entry", "", "--output", out, app},
  };
  for (const auto& arguments : commandLines) {
    EXPECT_EQ(pack(arguments), 2) << ::testing::PrintToString(arguments);
    EXPECT_NE(err_.str().find("usage:"), std::string::npos);
    EXPECT_TRUE(out_.str().empty());
  }
  EXPECT_FALSE(fs::exists(output()));
}

}  // namespace
}  // namespace tenvik::packer
