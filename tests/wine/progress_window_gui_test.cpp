// The progress window of an image built with TENVIK_PROGRESS_WINDOW on
// (standins\SetupWindow.exe), in a prefix with a real display: each state
// is found from outside as a user would see it, its controls read, a picture
// taken (tests/harness/screenshot.sh, into the build tree's screenshots
// folder), and Cancel pressed through the window's own command.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

#include "runtime/runtime_platform.h"
#include "standin_reports.h"
#include "support/concurrent_run.h"
#include "support/gui_program.h"
#include "support/http_fixture.h"
#include "support/launch_fixture.h"
#include "support/runtime_registry.h"
#include "support/setup_image.h"
#include "system/unique_handle.h"

namespace tenvik::test {
namespace {

constexpr wchar_t kWindowClass[] = L"TenvikSetupProgress";
constexpr int kHeadingId = 100;
constexpr int kDetailId = 101;
constexpr int kBarId = 102;
const std::string kDesktopX64 = "/dotnet/desktop?arch=amd64";

struct Search {
  DWORD processId;
  const wchar_t* className;  // or null
  const wchar_t* caption;    // or null
  HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  wchar_t caption[64] = {};
  GetWindowTextW(window, caption, 64);
  if (owner == search->processId && (!search->className || std::wstring(name) == search->className) &&
      (!search->caption || std::wstring(caption) == search->caption) && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The visible progress window of the program, or null.
HWND progressWindowOf(const RunningProgram& program) {
  Search search = {program.id, kWindowClass, nullptr, nullptr};
  EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND errorBoxOf(const RunningProgram& program) {
  Search search = {program.id, nullptr, L"Error", nullptr};
  EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// What the window shows, read through its controls as a screen reader would.
struct Shown {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring heading;
  std::wstring detail;
  bool marquee = false;
  int position = -1;
  std::wstring button;
  std::vector<std::wstring> classes;  // of heading, detail, bar, button
};

Shown read(HWND window) {
  Shown shown;
  shown.window = window;
  shown.caption = textOf(window);
  const HWND heading = GetDlgItem(window, kHeadingId);
  const HWND detail = GetDlgItem(window, kDetailId);
  const HWND bar = GetDlgItem(window, kBarId);
  const HWND button = GetDlgItem(window, IDCANCEL);
  for (HWND control : {heading, detail, bar, button}) shown.classes.push_back(control ? classOf(control) : L"");
  shown.heading = textOf(heading);
  shown.detail = textOf(detail);
  shown.marquee = (GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE) != 0;
  shown.position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
  shown.button = textOf(button);
  return shown;
}

// Waits until the program's window shows heading and a detail that
// accepts, or the program ends; the first window of a fresh prefix waits
// for Wine's font set-up, so the bound is wide.
template <typename Accept>
Shown waitForState(const RunningProgram& program, const std::wstring& heading, Accept accept,
                   DWORD timeoutMs = 240000) {
  Shown last;
  for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
    if (const HWND window = progressWindowOf(program)) {
      last = read(window);
      if (last.heading == heading && accept(last)) return last;
    }
    if (WaitForSingleObject(program.process.get(), 50) == WAIT_OBJECT_0) break;
  }
  last.window = nullptr;
  return last;
}

// The n in "(n%)" or "n%" at the end of a detail; -1 when there is none.
int percentIn(const std::wstring& detail) {
  const size_t sign = detail.rfind(L'%');
  if (sign == std::wstring::npos) return -1;
  size_t begin = sign;
  while (begin > 0 && iswdigit(detail[begin - 1])) --begin;
  return begin == sign ? -1 : std::stoi(detail.substr(begin, sign - begin));
}

// A picture of window as it stands, to docs/ by hand from the build tree.
// Without ImageMagick there is only a note: the states are checked anyway.
void takeScreenshot(HWND window, const std::wstring& name) {
  const std::wstring folder = buildPath(L"screenshots");
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring out = folder + L"\\" + name + L".png";
  DeleteFileW(out.c_str());
  // A moment for the controls to paint what they were just told.
  Sleep(500);
  // The window's inside: without a window manager nothing is drawn around it.
  RECT inside = {};
  GetClientRect(window, &inside);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  wchar_t geometry[64];
  swprintf(geometry, 64, L"%ldx%ld+%ld+%ld", inside.right, inside.bottom, origin.x, origin.y);
  const std::wstring script = widen(narrow(environmentVariable(L"TENVIK_HARNESS_DIR"))) + L"/screenshot.sh";
  const std::wstring args = L"\"" + script + L"\" \"" + environmentVariable(L"DISPLAY") + L"\" \"" + geometry +
                            L"\" \"" + widen(unixPathOf(out)) + L"\"";
  runProgram(L"Z:\\bin\\sh", args, 30000);
  if (!waitForFile(out, 30000)) std::printf("note: no screenshot %ls (is ImageMagick installed?)\n", name.c_str());
}

// Cancel as the button itself reports it, to the window that owns it.
void pressCancel(const Shown& shown) {
  PostMessageW(shown.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(shown.window, IDCANCEL)));
}

void expectStandardControls(const Shown& shown) {
  EXPECT_EQ(shown.caption, L"Tenvik Setup");
  EXPECT_EQ(shown.classes, (std::vector<std::wstring>{L"Static", L"Static", L"msctls_progress32", L"Button"}));
  EXPECT_EQ(shown.button, L"Cancel");
}

class ProgressWindowGui : public LaunchTest {
 protected:
  void SetUp() override {
    LaunchTest::SetUp();
    if (!httpServerAvailable()) GTEST_SKIP() << "no loopback download server in this build";
    resetHttpServer();
    installerReport_ = scratch_ + L"\\installer-report.txt";
    SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REPORT", installerReport_.c_str());
    installerFile_ = installerFile();
    DeleteFileW(installerFile_.c_str());
    gate_ = scratch_ + L"\\gate";
  }
  void TearDown() override {
    releaseGate(gate_);
    for (const wchar_t* name : {L"TENVIK_FAKE_INSTALLER_REPORT", L"TENVIK_FAKE_INSTALLER_REGISTER",
                                L"TENVIK_FAKE_INSTALLER_LOCATION", L"TENVIK_FAKE_INSTALLER_WAIT_FOR",
                                L"TENVIK_HOST_WAIT_FOR"}) {
      SetEnvironmentVariableW(name, nullptr);
    }
    DeleteFileW(installerFile_.c_str());
    LaunchTest::TearDown();
  }

  std::wstring windowSetup(const std::vector<PackageEntry>& entries, const std::wstring& dir) {
    CreateDirectoryW(dir.c_str(), nullptr);
    return setupWithPackage(dir, entries, L"standins\\SetupWindow.exe");
  }

  // A download of size bytes that takes a while: pieces of 16 KB, a pause
  // before each.
  static void serveSlowly(const std::string& target, const std::string& body, bool withLength) {
    RouteSpec route;
    route.body = body;
    route.chunk = 16 * 1024;
    route.pauseMs = 150;
    route.omitLength = !withLength;
    setRoute(target, route);
  }

  // Many small entries: writing each file is what takes the time.
  static std::vector<PackageEntry> largePackage() {
    std::vector<PackageEntry> entries = {{"App.dll", "app"}};
    for (int i = 0; i < 6000; ++i) {
      entries.push_back({"data/part" + std::to_string(i) + ".bin", std::string(4096 + i % 100, 'a' + i % 26)});
    }
    return entries;
  }

  // A cancelled download leaves nothing behind and asks for nothing else.
  void expectNothingInstalled() {
    EXPECT_FALSE(fileExists(installerFile_)) << "DotNET-Setup.exe left behind";
    EXPECT_FALSE(fileExists(installerReport_)) << "an installer ran";
    EXPECT_FALSE(directoryExists(productDirectory()));
    std::vector<std::string> targets;
    for (const auto& request : loggedRequests()) targets.push_back(request.target);
    EXPECT_EQ(targets, std::vector<std::string>{kDesktopX64}) << "the base runtime was tried after the cancel";
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, runtime::kDesktopFrameworkX64, 0, KEY_READ, &key), ERROR_SUCCESS);
    if (key) RegCloseKey(key);
  }

  std::wstring installerReport_;
  std::wstring installerFile_;
  std::wstring gate_;
};

TEST_F(ProgressWindowGui, ADownloadWithALengthShowsBytesAndPercentAndCancelEndsWithOne) {
  clearRuntimeRegistrations();
  serveSlowly(kDesktopX64, std::string(3 * 1024 * 1024, 'd'), true);
  const std::wstring exe = windowSetup({{"App.dll", "app"}}, scratch_ + L"\\known");
  RunningProgram program = start(exe, L"");
  ASSERT_TRUE(program.process);

  const Shown shown = waitForState(program, L"Downloading the .NET Desktop Runtime 6 (x64)",
                                   [](const Shown& s) { return percentIn(s.detail) >= 20; });
  ASSERT_NE(shown.window, nullptr) << "no download window; last heading: " << narrow(shown.heading);
  expectStandardControls(shown);
  EXPECT_NE(shown.detail.find(L" of 3.0 MB ("), std::wstring::npos) << narrow(shown.detail);
  EXPECT_FALSE(shown.marquee);
  EXPECT_GE(shown.position, 1);
  takeScreenshot(shown.window, L"progress-window-downloading");

  pressCancel(waitForState(program, L"Downloading the .NET Desktop Runtime 6 (x64)",
                           [](const Shown&) { return true; }));
  // No error box after the user's own cancel: one would hold the run open.
  EXPECT_EQ(waitForExit(program, 60000), 1u);
  expectNothingInstalled();
}

TEST_F(ProgressWindowGui, ADownloadWithoutALengthShowsTheBytesAndAMarquee) {
  clearRuntimeRegistrations();
  serveSlowly(kDesktopX64, std::string(3 * 1024 * 1024, 'd'), false);
  const std::wstring exe = windowSetup({{"App.dll", "app"}}, scratch_ + L"\\unknown");
  RunningProgram program = start(exe, L"");
  ASSERT_TRUE(program.process);

  const Shown shown =
      waitForState(program, L"Downloading the .NET Desktop Runtime 6 (x64)", [](const Shown& s) {
        return s.detail.size() > 9 && s.detail.compare(s.detail.size() - 9, 9, L" received") == 0 &&
               s.detail != L"0 bytes received";
      });
  ASSERT_NE(shown.window, nullptr) << "no download window; last detail: " << narrow(shown.detail);
  expectStandardControls(shown);
  EXPECT_TRUE(shown.marquee);
  EXPECT_EQ(percentIn(shown.detail), -1);
  takeScreenshot(shown.window, L"progress-window-downloading-no-length");

  pressCancel(shown);
  EXPECT_EQ(waitForExit(program, 60000), 1u);
  expectNothingInstalled();
}

TEST_F(ProgressWindowGui, ADownloadThatCompletesIsHiddenWhileTheInstallerRuns) {
  clearRuntimeRegistrations();
  RouteSpec route;
  route.body = readFileBytes(buildPath(L"standins\\fake_runtime_installer.exe"));
  ASSERT_FALSE(route.body.empty());
  route.chunk = 16 * 1024;
  route.pauseMs = 100;
  setRoute(kDesktopX64, route);
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_REGISTER", runtime::kDesktopFrameworkX64);
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_LOCATION", (hostDirectory_ + L"\\").c_str());
  SetEnvironmentVariableW(L"TENVIK_FAKE_INSTALLER_WAIT_FOR", gate_.c_str());
  const std::wstring exe = windowSetup({{"App.dll", "app"}}, scratch_ + L"\\complete");
  DeleteFileW(reportPath_.c_str());
  SetEnvironmentVariableW(L"TENVIK_HOST_REPORT", reportPath_.c_str());
  SetEnvironmentVariableW(L"TENVIK_HOST_EXIT", L"7");
  RunningProgram program = start(exe, L"");
  ASSERT_TRUE(program.process);

  const Shown shown = waitForState(program, L"Downloading the .NET Desktop Runtime 6 (x64)",
                                   [](const Shown& s) { return percentIn(s.detail) >= 0; });
  ASSERT_NE(shown.window, nullptr);
  // The installer file is written only once the window is gone; the
  // installer then waits for the gate, with nothing of ours on screen.
  ASSERT_TRUE(waitForFile(installerFile_, 120000));
  EXPECT_EQ(progressWindowOf(program), nullptr);
  EXPECT_EQ(WaitForSingleObject(program.process.get(), 1000), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(progressWindowOf(program), nullptr);
  releaseGate(gate_);
  EXPECT_EQ(waitForExit(program), 7u);
  EXPECT_TRUE(hostReport().present);
  EXPECT_FALSE(fileExists(installerFile_));
}

TEST_F(ProgressWindowGui, WaitingForAnotherRunShowsAndCancelEndsWithMinusOneHavingTouchedNothing) {
  const std::wstring exe = windowSetup({{"App.dll", "app"}, {"data/a.txt", "first"}}, scratch_ + L"\\wait");
  const std::wstring firstReport = scratch_ + L"\\first.txt";
  SetEnvironmentVariableW(L"TENVIK_HOST_REPORT", firstReport.c_str());
  SetEnvironmentVariableW(L"TENVIK_HOST_EXIT", L"11");
  SetEnvironmentVariableW(L"TENVIK_HOST_WAIT_FOR", gate_.c_str());
  // Silent: the first run shows nothing of its own.
  StartedRun first(exe, L"--silent");
  ASSERT_TRUE(first.started());
  ASSERT_TRUE(waitForFile(firstReport));
  const std::vector<std::wstring> firstFiles = listFilesRecursive(workDirectory());

  const std::wstring secondReport = scratch_ + L"\\second.txt";
  SetEnvironmentVariableW(L"TENVIK_HOST_REPORT", secondReport.c_str());
  SetEnvironmentVariableW(L"TENVIK_HOST_WAIT_FOR", nullptr);
  RunningProgram second = start(exe, L"");
  ASSERT_TRUE(second.process);
  const Shown shown =
      waitForState(second, L"Waiting for another setup to finish", [](const Shown& s) { return s.marquee; });
  ASSERT_NE(shown.window, nullptr) << "no waiting window; last heading: " << narrow(shown.heading);
  expectStandardControls(shown);
  EXPECT_EQ(shown.detail, L"");
  takeScreenshot(shown.window, L"progress-window-waiting");

  pressCancel(shown);
  EXPECT_EQ(waitForExit(second, 60000), 0xFFFFFFFFu);
  EXPECT_FALSE(fileExists(secondReport));
  EXPECT_EQ(listFilesRecursive(workDirectory()), firstFiles);

  releaseGate(gate_);
  EXPECT_EQ(first.finish().exitCode, 11u);
  EXPECT_FALSE(directoryExists(workDirectory()));
}

TEST_F(ProgressWindowGui, ALongUnpackingShowsItsProgressAndIsGoneWhileTheApplicationRuns) {
  const std::wstring exe = windowSetup(largePackage(), scratch_ + L"\\unpack");
  DeleteFileW(reportPath_.c_str());
  SetEnvironmentVariableW(L"TENVIK_HOST_REPORT", reportPath_.c_str());
  SetEnvironmentVariableW(L"TENVIK_HOST_EXIT", L"5");
  SetEnvironmentVariableW(L"TENVIK_HOST_WAIT_FOR", gate_.c_str());
  RunningProgram program = start(exe, L"");
  ASSERT_TRUE(program.process);

  const Shown shown = waitForState(program, L"Unpacking the setup files",
                                   [](const Shown& s) { return percentIn(s.detail) >= 1; });
  ASSERT_NE(shown.window, nullptr) << "no unpacking window; last heading: " << narrow(shown.heading);
  expectStandardControls(shown);
  EXPECT_FALSE(shown.marquee);
  EXPECT_EQ(shown.position, percentIn(shown.detail));
  takeScreenshot(shown.window, L"progress-window-unpacking");

  ASSERT_TRUE(waitForFile(reportPath_, 240000));
  EXPECT_EQ(progressWindowOf(program), nullptr) << "the window stays while the application runs";
  releaseGate(gate_);
  EXPECT_EQ(waitForExit(program), 5u);
  EXPECT_FALSE(directoryExists(workDirectory()));
}

TEST_F(ProgressWindowGui, CancelDuringUnpackingEndsWithMinusOneWithoutTheHost) {
  const std::wstring exe = windowSetup(largePackage(), scratch_ + L"\\unpack-cancel");
  DeleteFileW(reportPath_.c_str());
  SetEnvironmentVariableW(L"TENVIK_HOST_REPORT", reportPath_.c_str());
  RunningProgram program = start(exe, L"");
  ASSERT_TRUE(program.process);

  const Shown shown =
      waitForState(program, L"Unpacking the setup files", [](const Shown& s) { return percentIn(s.detail) >= 0; });
  ASSERT_NE(shown.window, nullptr) << "no unpacking window";
  pressCancel(shown);
  EXPECT_EQ(waitForExit(program, 60000), 0xFFFFFFFFu);
  EXPECT_FALSE(fileExists(reportPath_)) << "the host was started";
  EXPECT_FALSE(directoryExists(workDirectory()));
}

// Without the setting, as by default, a slow download shows nothing but the
// error box at the end.
TEST_F(ProgressWindowGui, TheDefaultImageShowsNoWindowWhileItDownloads) {
  clearRuntimeRegistrations();
  serveSlowly(kDesktopX64, std::string(512 * 1024, 'd'), true);
  const std::wstring dir = scratch_ + L"\\default";
  CreateDirectoryW(dir.c_str(), nullptr);
  const std::wstring exe = setupWithPackage(dir, {{"App.dll", "app"}});
  RunningProgram program = start(exe, L"");
  ASSERT_TRUE(program.process);
  bool windowSeen = false;
  HWND box = nullptr;
  for (int waited = 0; waited < 240000 && !box; waited += 50) {
    windowSeen = windowSeen || progressWindowOf(program) != nullptr;
    box = errorBoxOf(program);
    if (WaitForSingleObject(program.process.get(), 50) == WAIT_OBJECT_0) break;
  }
  EXPECT_FALSE(windowSeen);
  ASSERT_NE(box, nullptr) << "no error box appeared";
  // Both downloads were made, the slow one whole, before the box came.
  EXPECT_EQ(loggedRequests().size(), 2u);
  for (int attempt = 0; attempt < 30; ++attempt) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    if (WaitForSingleObject(program.process.get(), 1000) == WAIT_OBJECT_0) break;
  }
  EXPECT_EQ(waitForExit(program, 60000), 1u);
}

// A display of 144 DPI (150 %) gets the layout at one and a half times its
// size, and a larger message font. Wine takes the DPI from the registry when
// a program starts.
TEST_F(ProgressWindowGui, TheLayoutFollowsTheDpi) {
  const wchar_t* const kDesktopKey = L"Control Panel\\Desktop";
  setRegistryDword(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", 144);
  clearRuntimeRegistrations();
  serveSlowly(kDesktopX64, std::string(3 * 1024 * 1024, 'd'), true);
  const std::wstring exe = windowSetup({{"App.dll", "app"}}, scratch_ + L"\\dpi");
  RunningProgram program = start(exe, L"");
  const Shown shown = program.process ? waitForState(program, L"Downloading the .NET Desktop Runtime 6 (x64)",
                                                     [](const Shown& s) { return percentIn(s.detail) >= 0; })
                                      : Shown();
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, L"LogPixels");
    RegCloseKey(key);
  }
  ASSERT_NE(shown.window, nullptr);
  RECT inside = {};
  GetClientRect(shown.window, &inside);
  RECT button = {};
  GetWindowRect(GetDlgItem(shown.window, IDCANCEL), &button);
  EXPECT_EQ(inside.right, 630);
  EXPECT_EQ(inside.bottom, 192);
  EXPECT_EQ(button.right - button.left, 132);
  pressCancel(shown);
  EXPECT_EQ(waitForExit(program, 60000), 1u);
}

// The window answers the keyboard: Esc cancels as the button does.
TEST_F(ProgressWindowGui, EscapeCancelsADownload) {
  clearRuntimeRegistrations();
  serveSlowly(kDesktopX64, std::string(3 * 1024 * 1024, 'd'), true);
  const std::wstring exe = windowSetup({{"App.dll", "app"}}, scratch_ + L"\\escape");
  RunningProgram program = start(exe, L"");
  ASSERT_TRUE(program.process);
  const Shown shown =
      waitForState(program, L"Downloading the .NET Desktop Runtime 6 (x64)", [](const Shown&) { return true; });
  ASSERT_NE(shown.window, nullptr);
  // Keys go to the control with the focus, which is the Cancel button.
  const HWND button = GetDlgItem(shown.window, IDCANCEL);
  PostMessageW(button, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageW(button, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  EXPECT_EQ(waitForExit(program, 60000), 1u);
  expectNothingInstalled();
}

}  // namespace
}  // namespace tenvik::test
