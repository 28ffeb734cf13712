// End-to-end runs of Setup.exe copies that tenvik-pack stamped at build time
// on the build machine: one with another package, icon and version details,
// one with the very payload the CMake build embedded.

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>

#include "support/launch_fixture.h"
#include "support/wine_support.h"
#include "system/unique_handle.h"

namespace tenvik::test {
namespace {

using StampedSetup = LaunchTest;

const wchar_t* const stampedExe = L"stamped\\Setup.exe";
const wchar_t* const sameAsBuiltExe = L"stamped\\SameAsBuilt.exe";

std::string resourceBytes(HMODULE image, LPCWSTR type, WORD id) {
  HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(id), type);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(image, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  return data ? std::string(static_cast<const char*>(data), SizeofResource(image, found)) : std::string();
}

std::wstring versionString(const std::vector<char>& info, const std::wstring& name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring query = L"\\StringFileInfo\\040904b0\\" + name;
  if (!VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) return L"";
  return std::wstring(value);
}

TEST_F(StampedSetup, UnpacksExactlyTheStampedFolderAndRunsItsEntry) {
  const RunResult run = runSetup(buildPath(stampedExe), L"--mode stamped", 17);
  ASSERT_TRUE(run.started);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 17u);
  const HostReport report = hostReport();
  ASSERT_TRUE(report.present);
  const std::string work = narrow(workDirectory());
  EXPECT_EQ(report.parameters, work + "\\Stamp.App.dll --mode stamped");

  const std::wstring folder = sourcePath(L"tests\\data\\stamp-app");
  std::map<std::string, std::string> expected;
  for (const std::wstring& name : listFilesRecursive(folder)) {
    expected[narrow(name)] = fileSignature(readFileBytes(folder + L"\\" + name));
  }
  ASSERT_EQ(expected.size(), 4u);
  auto files = report.files;
  files.erase(".package");
  EXPECT_EQ(files, expected);
  EXPECT_FALSE(directoryExists(workDirectory()));
}

TEST_F(StampedSetup, KeepsTheManifestAndShowsTheNewIconAndVersion) {
  const std::wstring exe = buildPath(stampedExe);
  {
    UniqueModule image(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(image);
    EXPECT_NE(resourceBytes(image.get(), RT_MANIFEST, 1).find("requireAdministrator"), std::string::npos);
    // The icon file's one image, as RT_ICON 1 under group 1.
    const std::string icon = readFileBytes(sourcePath(L"tests\\data\\stamp.ico"));
    ASSERT_GT(icon.size(), 22u);
    EXPECT_EQ(resourceBytes(image.get(), RT_ICON, 1), icon.substr(22));
    const std::string group = resourceBytes(image.get(), RT_GROUP_ICON, 1);
    ASSERT_EQ(group.size(), 6u + 14u);
    EXPECT_EQ(group[4], 1);  // one image
    EXPECT_EQ(resourceBytes(image.get(), RT_ICON, 2), "");  // none left from the stub
    EXPECT_EQ(LookupIconIdFromDirectoryEx(reinterpret_cast<BYTE*>(const_cast<char*>(group.data())), TRUE, 16, 16,
                                          LR_DEFAULTCOLOR),
              1);
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00040003u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00020001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00040003u);
  EXPECT_EQ(versionString(info, L"ProductName"), L"Stamp Test Setup");
  EXPECT_EQ(versionString(info, L"CompanyName"), L"Stamp Test Company");
  EXPECT_EQ(versionString(info, L"FileVersion"), L"4.3.2.1");
  EXPECT_EQ(versionString(info, L"OriginalFilename"), L"Setup.exe");  // kept from the stub
}

TEST_F(StampedSetup, TheBuiltPayloadStampedIntoTheStubRunsLikeTheBuiltSetup) {
  // The packer lays the resources out as the linker does, so the copy is the
  // same file; the runs show the same behaviour as well.
  EXPECT_EQ(readFileBytes(buildPath(sameAsBuiltExe)), readFileBytes(buildPath(L"Setup.exe")));
  std::vector<HostReport> reports;
  for (const wchar_t* exe : {L"Setup.exe", sameAsBuiltExe}) {
    const RunResult run = runSetup(buildPath(exe), L"--same \"args\"", 3);
    EXPECT_EQ(run.exitCode, 3u);
    reports.push_back(hostReport());
  }
  ASSERT_TRUE(reports[0].present);
  EXPECT_EQ(reports[1].parameters, reports[0].parameters);
  EXPECT_EQ(reports[1].files, reports[0].files);
}

}  // namespace
}  // namespace tenvik::test
