#include "runtime/install_location.h"

#include <gtest/gtest.h>

namespace tenvik {
namespace {

TEST(InstallLocation, OnlyAFullPathOnADriveIsTaken) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"C:\\Program Files\\dotnet\\", true},
      {L"C:\\Program Files\\dotnet", true},
      {L"d:\\tools\\.dotnet\\x64", true},
      {L"C:\\", true},
      {L"", false},
      {L"dotnet", false},
      {L"C:dotnet", false},
      {L"\\dotnet", false},
      {L"\\\\server\\share\\dotnet", false},
      {L"\\\\?\\C:\\Program Files\\dotnet", false},
      {L"\\\\.\\C:\\dotnet", false},
      {L"%ProgramFiles%\\dotnet", false},
      {L"1:\\dotnet", false},
      {L"C:/Program Files/dotnet", false},
      {L"C:\\Program Files\\..\\Users\\u\\dotnet", false},
      {L"C:\\.\\dotnet", false},
      {L"C:\\Program Files\\\\dotnet", false},
      {L"C:\\dotnet\\\\", false},
      {L"C:\\dotnet:stream", false},
      {L"C:\\dot\"net", false},
      {L"C:\\dotnet\n", false},
      {L"C:\\dot*net", false},
  };
  for (const auto& [location, taken] : cases) EXPECT_EQ(isDriveAbsolutePath(location), taken) << location;
}

}  // namespace
}  // namespace tenvik
