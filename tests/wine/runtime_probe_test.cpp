#include "runtime/runtime_probe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/wine_support.h"
#include "system/registry_text.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

const std::wstring kTestRoot = L"SOFTWARE\\TenvikProbeTest";
const std::wstring kFramework = kTestRoot + L"\\sharedfx\\Microsoft.WindowsDesktop.App";
const std::wstring kInstallKey = kTestRoot + L"\\x86";

std::vector<uint8_t> bytesOf(const std::wstring& text, bool withTerminator) {
  const auto* data = reinterpret_cast<const uint8_t*>(text.c_str());
  return std::vector<uint8_t>(data, data + (text.size() + (withTerminator ? 1 : 0)) * sizeof(wchar_t));
}

void addVersion(const std::wstring& key, const std::wstring& name) {
  test::setRegistryDword(HKEY_LOCAL_MACHINE, key, name, 1);
}

class RuntimeProbe : public ::testing::Test {
 protected:
  void SetUp() override { test::deleteRegistryTree(HKEY_LOCAL_MACHINE, kTestRoot); }
  void TearDown() override { test::deleteRegistryTree(HKEY_LOCAL_MACHINE, kTestRoot); }
};

TEST_F(RuntimeProbe, MissingOrEmptyFrameworkKeyIsNoRuntime) {
  EXPECT_FALSE(isRuntimeInstalled(kFramework));
  test::createRegistryKey(HKEY_LOCAL_MACHINE, kFramework);
  EXPECT_FALSE(isRuntimeInstalled(kFramework));
  // Subkeys named like versions are not versions: only value names count.
  test::createRegistryKey(HKEY_LOCAL_MACHINE, kFramework + L"\\6.0.25");
  EXPECT_FALSE(isRuntimeInstalled(kFramework));
  EXPECT_FALSE(isRuntimeInstalled(L""));
  EXPECT_FALSE(isRuntimeInstalled(L"SOFTWARE\\TenvikProbeTest\\no\\such\\key"));
}

TEST_F(RuntimeProbe, OnlyMajorVersionSixCounts) {
  for (const wchar_t* other : {L"5.0.17", L"7.0.5", L"16.0.1", L"6", L"8.0.0-rc.1"}) {
    addVersion(kFramework, other);
    EXPECT_FALSE(isRuntimeInstalled(kFramework)) << "after adding " << other;
  }
  addVersion(kFramework, L"6.0.25");
  EXPECT_TRUE(isRuntimeInstalled(kFramework));
}

TEST_F(RuntimeProbe, AnyTypeAndDataOfAVersionValueCounts) {
  struct Case {
    DWORD type;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {REG_DWORD, {0, 0, 0, 0}}, {REG_DWORD, {1, 0, 0, 0}}, {REG_SZ, bytesOf(L"", true)},
      {REG_SZ, {}},              {REG_BINARY, {}},          {REG_NONE, {0xff}},
      {REG_MULTI_SZ, bytesOf(L"x", true)},
  };
  for (const Case& c : cases) {
    test::deleteRegistryTree(HKEY_LOCAL_MACHINE, kTestRoot);
    test::setRegistryValue(HKEY_LOCAL_MACHINE, kFramework, L"6.0.25", c.type, c.data);
    EXPECT_TRUE(isRuntimeInstalled(kFramework)) << "type " << c.type << ", " << c.data.size() << " bytes";
  }
}

TEST_F(RuntimeProbe, AMatchIsFoundAmongManyValuesOfAnyNameLength) {
  for (int i = 0; i < 300; ++i) addVersion(kFramework, L"5.0." + std::to_wstring(i));
  addVersion(kFramework, std::wstring(600, L'7'));  // the longest name by far
  EXPECT_FALSE(isRuntimeInstalled(kFramework));
  addVersion(kFramework, L"6.0.36");
  EXPECT_TRUE(isRuntimeInstalled(kFramework));
}

TEST_F(RuntimeProbe, TheLongestNameItselfCanMatch) {
  // The name buffer is sized from the longest name: a match of exactly that
  // length must fit with its terminator.
  addVersion(kFramework, L"5.0");
  addVersion(kFramework, L"6.0.36-servicing.1234567");
  EXPECT_TRUE(isRuntimeInstalled(kFramework));
}

// InstallLocation

struct LocationCase {
  const char* what;
  DWORD type;
  std::vector<uint8_t> stored;  // exactly these bytes
  std::wstring expected;
};

TEST_F(RuntimeProbe, InstallLocationIsATerminatedStringTakenAsStored) {
  std::vector<uint8_t> embeddedZero = bytesOf(std::wstring(L"C:\\dotnet\\\0rest", 15), true);
  std::vector<uint8_t> odd = bytesOf(L"C:\\dotnet", true);
  odd.push_back(0);
  const std::wstring longPath = L"C:\\" + std::wstring(2000, L'd') + L"\\";
  const LocationCase cases[] = {
      {"REG_SZ", REG_SZ, bytesOf(L"C:\\Program Files\\dotnet\\", true), L"C:\\Program Files\\dotnet\\"},
      {"no trailing backslash", REG_SZ, bytesOf(L"C:\\dotnet", true), L"C:\\dotnet"},
      {"REG_EXPAND_SZ unexpanded", REG_EXPAND_SZ, bytesOf(L"%ProgramFiles%\\dotnet\\", true),
       L"%ProgramFiles%\\dotnet\\"},
      {"longer than MAX_PATH", REG_SZ, bytesOf(longPath, true), longPath},
      {"text up to the first zero", REG_SZ, embeddedZero, L"C:\\dotnet\\"},
      {"empty string", REG_SZ, bytesOf(L"", true), L""},
      {"no bytes at all", REG_SZ, {}, L""},
      {"REG_DWORD", REG_DWORD, {0x43, 0, 0x3a, 0}, L""},
      {"REG_MULTI_SZ", REG_MULTI_SZ, bytesOf(std::wstring(L"C:\\dotnet\0", 10), true), L""},
      {"REG_BINARY", REG_BINARY, bytesOf(L"C:\\dotnet", true), L""},
      {"no terminator", REG_SZ, bytesOf(L"C:\\dotnet", false), L""},
      {"no terminator, expandable", REG_EXPAND_SZ, bytesOf(L"C:\\dotnet", false), L""},
      {"odd byte count", REG_SZ, odd, L""},
      {"one byte", REG_SZ, {0}, L""},
  };
  for (const LocationCase& c : cases) {
    test::deleteRegistryTree(HKEY_LOCAL_MACHINE, kTestRoot);
    test::setRegistryRawString(HKEY_LOCAL_MACHINE, kInstallKey, L"InstallLocation", c.stored, c.type);
    EXPECT_EQ(readInstallLocation(kInstallKey), c.expected) << c.what;
  }
}

TEST_F(RuntimeProbe, InstallLocationOfAMissingKeyOrValueIsEmpty) {
  EXPECT_EQ(readInstallLocation(kInstallKey), L"");
  test::setRegistryString(HKEY_LOCAL_MACHINE, kInstallKey, L"Location", L"C:\\dotnet\\");
  EXPECT_EQ(readInstallLocation(kInstallKey), L"");
  EXPECT_EQ(readInstallLocation(L""), L"");
}

// readRegistryString, one call at a time

class RegistryString : public RuntimeProbe {
 protected:
  void store(DWORD type, const std::vector<uint8_t>& bytes) {
    test::setRegistryRawString(HKEY_LOCAL_MACHINE, kInstallKey, L"InstallLocation", bytes, type);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInstallKey.c_str(), 0, KEY_READ, key_.put()), ERROR_SUCCESS);
  }
  UniqueRegistryKey key_;
};

TEST_F(RegistryString, SizeCallCountsUnitsWithTerminator) {
  store(REG_SZ, bytesOf(L"C:\\dotnet\\", true));
  DWORD count = 0;
  EXPECT_EQ(readRegistryString(key_.get(), L"InstallLocation", nullptr, count), ERROR_SUCCESS);
  EXPECT_EQ(count, 11u);

  std::vector<wchar_t> buffer(count, L'#');
  EXPECT_EQ(readRegistryString(key_.get(), L"InstallLocation", buffer.data(), count), ERROR_SUCCESS);
  EXPECT_EQ(count, 11u);
  EXPECT_EQ(std::wstring(buffer.data()), L"C:\\dotnet\\");
}

TEST_F(RegistryString, FailuresLeaveTheCountAtZero) {
  struct Case {
    const char* what;
    DWORD type;
    std::vector<uint8_t> stored;
    bool withBuffer;
    DWORD capacity;
    LONG status;
  };
  const Case cases[] = {
      {"buffer too small", REG_SZ, bytesOf(L"C:\\dotnet\\", true), true, 4, ERROR_MORE_DATA},
      {"wrong type, size call", REG_DWORD, {1, 0, 0, 0}, false, 0, ERROR_INVALID_DATA},
      {"wrong type, data call", REG_BINARY, bytesOf(L"C:\\", true), true, 16, ERROR_INVALID_DATA},
      {"no terminator", REG_SZ, bytesOf(L"C:\\dotnet", false), true, 16, ERROR_INVALID_DATA},
      {"odd byte count", REG_EXPAND_SZ, {0x43, 0, 0}, true, 16, ERROR_INVALID_DATA},
  };
  for (const Case& c : cases) {
    key_.reset();
    test::deleteRegistryTree(HKEY_LOCAL_MACHINE, kTestRoot);
    store(c.type, c.stored);
    std::vector<wchar_t> buffer(c.capacity + 1, L'#');
    DWORD count = c.capacity;
    EXPECT_EQ(readRegistryString(key_.get(), L"InstallLocation", c.withBuffer ? buffer.data() : nullptr, count),
              c.status)
        << c.what;
    EXPECT_EQ(count, 0u) << c.what;
  }

  DWORD count = 7;
  EXPECT_EQ(readRegistryString(key_.get(), L"NoSuchValue", nullptr, count), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(count, 0u);
}

TEST_F(RegistryString, AnEmptyValueIsTerminatedOnlyInsideTheBuffer) {
  store(REG_SZ, {});
  wchar_t buffer[2] = {L'#', L'#'};
  DWORD count = 1;
  EXPECT_EQ(readRegistryString(key_.get(), L"InstallLocation", buffer, count), ERROR_SUCCESS);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(buffer[0], L'\0');
  EXPECT_EQ(buffer[1], L'#');

  // A buffer of no units is not written to.
  buffer[0] = L'#';
  count = 0;
  EXPECT_EQ(readRegistryString(key_.get(), L"InstallLocation", buffer, count), ERROR_SUCCESS);
  EXPECT_EQ(buffer[0], L'#');
}

}  // namespace
}  // namespace tenvik
