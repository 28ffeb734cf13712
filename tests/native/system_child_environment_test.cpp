#include "system/child_environment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tenvik {
namespace {

TEST(ChildEnvironment, DropsTheRuntimeFamiliesInAnyCase) {
  const std::pair<const wchar_t*, bool> names[] = {
      {L"DOTNET_STARTUP_HOOKS", true}, {L"dotnet_root", true},         {L"DOTNET_ROOT(x86)", true},
      {L"DOTNET_ADDITIONAL_DEPS", true}, {L"DOTNET_SHARED_STORE", true}, {L"COREHOST_TRACE", true},
      {L"CORECLR_PROFILER_PATH", true}, {L"CoreClr_Enable_Profiling", true}, {L"COR_PROFILER", true},
      {L"COR_ENABLE_PROFILING", true},  {L"COMPlus_EnableDiagnostics", true}, {L"COMPLUS_X", true},
      {L"DOTNET", false},               {L"DOTNETX_Y", false},             {L"COR", false},
      {L"CORE_X", false},               {L"MY_DOTNET_ROOT", false},        {L"PATH", false},
  };
  for (const auto& [name, dropped] : names) EXPECT_EQ(isRuntimeVariable(name), dropped) << name;
}

TEST(ChildEnvironment, KeepsEverythingElseInPlaceAndSetsTheTemporaryFolders) {
  const std::wstring temp = L"C:\\ProgramData\\Tenvik\\Temp.tmp";
  const std::pair<std::vector<std::wstring>, std::vector<std::wstring>> cases[] = {
      {{L"=C:=C:\\Users\\u", L"ALLUSERSPROFILE=C:\\ProgramData", L"DOTNET_STARTUP_HOOKS=C:\\evil\\Hook.dll",
        L"Path=C:\\Windows", L"TEMP=C:\\Users\\u\\Temp", L"tmp=C:\\Users\\u\\Temp", L"windir=C:\\Windows"},
       {L"=C:=C:\\Users\\u", L"ALLUSERSPROFILE=C:\\ProgramData", L"Path=C:\\Windows", L"TEMP=" + temp,
        L"TMP=" + temp, L"windir=C:\\Windows"}},
      // Missing ones are added at their sorted place; a value with '=' stays whole.
      {{L"A=1", L"COR_PROFILER={x}", L"SystemRoot=C:\\Windows", L"X=a=b"},
       {L"A=1", L"SystemRoot=C:\\Windows", L"TEMP=" + temp, L"TMP=" + temp, L"X=a=b"}},
      {{}, {L"TEMP=" + temp, L"TMP=" + temp}},
      // A name like TEMPDIR is another variable.
      {{L"TEMPDIR=D:\\t", L"Temp=D:\\t"}, {L"TEMP=" + temp, L"TEMPDIR=D:\\t", L"TMP=" + temp}},
  };
  for (const auto& [entries, expected] : cases) EXPECT_EQ(childEnvironment(entries, temp), expected);
}

TEST(ChildEnvironment, MakesTheBlockCreateProcessTakes) {
  EXPECT_EQ(environmentBlock({L"A=1", L"B=2"}), std::wstring(L"A=1\0B=2\0\0", 9));
  EXPECT_EQ(environmentBlock({}), std::wstring(1, L'\0'));
}

}  // namespace
}  // namespace tenvik
