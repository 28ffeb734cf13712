// Runs of Setup.exe on a machine where the runtime cannot be installed, in a
// prefix with a real display: the error box is a real window that blocks
// until somebody answers it, so the test finds it, reads it and presses OK.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/gui_program.h"
#include "support/http_fixture.h"
#include "support/launch_fixture.h"
#include "support/runtime_registry.h"
#include "support/setup_image.h"
#include "system/unique_handle.h"

namespace tenvik::test {
namespace {

const wchar_t kExpectedText[] =
    L"Setup of prerequisite NET Framework failed.\nPlease visit https://dotnet.microsoft.com/download/dotnet/6.0 "
    L"for manual setup.";

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK matchErrorBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t caption[64] = {};
  GetWindowTextW(window, caption, 64);
  if (owner == search->processId && std::wstring(caption) == L"Error") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The error box of the process once it is shown (its text and buttons are in
// place by then), or null once the process has ended or the time is up.
HWND waitForErrorBox(const RunningProgram& program, DWORD timeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
    Search search = {program.id, nullptr};
    EnumWindows(matchErrorBox, reinterpret_cast<LPARAM>(&search));
    if (search.found && IsWindowVisible(search.found)) return search.found;
    if (WaitForSingleObject(program.process.get(), 100) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

// Presses OK the way the button itself reports it, and again while the box
// stays: a click synthesised into a window that is not yet active can be lost.
void pressOk(HWND box, HWND okButton, const RunningProgram& program) {
  for (int attempt = 0; attempt < 30; ++attempt) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(okButton));
    if (WaitForSingleObject(program.process.get(), 1000) == WAIT_OBJECT_0) return;
  }
}

BOOL CALLBACK collectChild(HWND window, LPARAM parameter) {
  reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
  return TRUE;
}

std::vector<HWND> childrenOf(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

class LauncherGui : public LaunchTest {
 protected:
  void SetUp() override {
    LaunchTest::SetUp();
    if (!httpServerAvailable()) GTEST_SKIP() << "no loopback download server in this build";
    clearRuntimeRegistrations();  // no runtime, and every download is a 404
    resetHttpServer();
    exe_ = setupWithPackage(scratch_, {{"App.dll", "x"}});
  }
  std::wstring exe_;
};

TEST_F(LauncherGui, PrerequisiteFailureShowsTheErrorBoxAndEndsWithOne) {
  RunningProgram program = start(exe_, L"--verbose");
  ASSERT_TRUE(program.process);
  // The first window of a fresh prefix waits for Wine's font set-up: be patient.
  const HWND box = waitForErrorBox(program, 240000);
  ASSERT_NE(box, nullptr) << "no error box appeared";

  std::vector<std::wstring> texts;
  HWND okButton = nullptr;
  int buttons = 0;
  for (HWND child : childrenOf(box)) {
    if (classOf(child) == L"Button") {
      ++buttons;
      okButton = child;
    } else if (classOf(child) == L"Static" && !textOf(child).empty()) {
      texts.push_back(textOf(child));
    }
  }
  EXPECT_EQ(texts, std::vector<std::wstring>{kExpectedText});
  EXPECT_EQ(buttons, 1);
  ASSERT_NE(okButton, nullptr);
  EXPECT_EQ(GetDlgCtrlID(okButton), IDOK);
  // Nothing has been unpacked while the box waits.
  EXPECT_FALSE(directoryExists(productDirectory()));

  pressOk(box, okButton, program);
  EXPECT_EQ(waitForExit(program), 1u);
  EXPECT_FALSE(directoryExists(productDirectory()));
  // Both installers were tried, the Windows Desktop runtime's first.
  std::vector<std::string> targets;
  for (const auto& request : loggedRequests()) targets.push_back(request.target);
  EXPECT_EQ(targets, (std::vector<std::string>{"/dotnet/desktop?arch=amd64", "/dotnet?arch=amd64"}));
}

TEST_F(LauncherGui, SilentRunShowsNoBox) {
  RunningProgram program = start(exe_, L"/log --silent");
  ASSERT_TRUE(program.process);
  EXPECT_EQ(waitForErrorBox(program, 60000), nullptr);
  EXPECT_EQ(waitForExit(program), 1u);
  EXPECT_FALSE(directoryExists(productDirectory()));
}

TEST_F(LauncherGui, InvisibleWindowStationMakesTheRunSilent) {
  // What a service or a task without a desktop runs in. The child inherits
  // the window station, and with it the cleared visible flag.
  const HWINSTA station = GetProcessWindowStation();
  USEROBJECTFLAGS flags = {};
  ASSERT_TRUE(GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), nullptr));
  USEROBJECTFLAGS invisible = flags;
  invisible.dwFlags &= ~WSF_VISIBLE;
  ASSERT_TRUE(SetUserObjectInformationW(station, UOI_FLAGS, &invisible, sizeof(invisible)));

  RunningProgram program = start(exe_, L"");
  const HWND box = program.process ? waitForErrorBox(program, 60000) : nullptr;
  if (box) PostMessageW(box, WM_CLOSE, 0, 0);
  const DWORD code = program.process ? waitForExit(program) : 0;
  SetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags));

  ASSERT_TRUE(program.process);
  EXPECT_EQ(box, nullptr);
  EXPECT_EQ(code, 1u);
  // Silent mode also asks the installers for no window at all: nothing here
  // was started, but the downloads show the run went the same way.
  EXPECT_EQ(loggedRequests().size(), 2u);
}

// An image whose rule asks for another major names that major's page.
TEST_F(LauncherGui, TheErrorBoxNamesThePageOfTheRulesMajor) {
  changeImageSettings(exe_, [](ImageSettings& settings) { settings.runtime = *parseRuntimeRule("desktop:10"); });
  RunningProgram program = start(exe_, L"");
  ASSERT_TRUE(program.process);
  const HWND box = waitForErrorBox(program, 240000);
  ASSERT_NE(box, nullptr) << "no error box appeared";
  std::vector<std::wstring> texts;
  HWND okButton = nullptr;
  for (HWND child : childrenOf(box)) {
    if (classOf(child) == L"Button") okButton = child;
    if (classOf(child) == L"Static" && !textOf(child).empty()) texts.push_back(textOf(child));
  }
  EXPECT_EQ(texts, std::vector<std::wstring>{
                       L"Setup of prerequisite NET Framework failed.\nPlease visit "
                       L"https://dotnet.microsoft.com/download/dotnet/10.0 for manual setup."});
  ASSERT_NE(okButton, nullptr);
  pressOk(box, okButton, program);
  EXPECT_EQ(waitForExit(program), 1u);
  std::vector<std::string> targets;
  for (const auto& request : loggedRequests()) targets.push_back(request.target);
  EXPECT_EQ(targets, std::vector<std::string>{"/dotnet/desktop?arch=amd64&version=10"});
}

}  // namespace
}  // namespace tenvik::test
