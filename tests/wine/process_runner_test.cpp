#include "system/process_runner.h"

#include <gtest/gtest.h>

#include <string>

#include "open_handles.h"
#include "standin_reports.h"
#include "support/wine_support.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

using test::comparablePath;

class ProcessRunner : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = test::makeScratchDirectory(L"runner");
    report_ = scratch_ + L"\\report.txt";
    reportArgs_ = test::buildPath(L"standins\\report_args.exe");
    ASSERT_TRUE(test::fileExists(reportArgs_));
    SetEnvironmentVariableW(L"TENVIK_REPORT_FILE", report_.c_str());
    SetEnvironmentVariableW(L"TENVIK_REPORT_EXIT", nullptr);
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"TENVIK_REPORT_FILE", nullptr);
    SetEnvironmentVariableW(L"TENVIK_REPORT_EXIT", nullptr);
    test::deleteTree(scratch_);
  }

  // Starts exe, waits for it and returns what it reported about itself.
  test::StandinRun runAndReport(const std::wstring& exe, const std::wstring& arguments,
                                const std::wstring& workingDirectory = L"") {
    UniqueKernelHandle process(runProcess(exe, arguments, workingDirectory));
    EXPECT_TRUE(process) << "not started: " << test::narrow(exe);
    if (!process) return {};
    EXPECT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
    const auto runs = test::readStandinRuns(report_);
    EXPECT_EQ(runs.size(), 1u);
    DeleteFileW(report_.c_str());
    return runs.empty() ? test::StandinRun() : runs.back();
  }

  // A copy of the stand-in at relative below the scratch directory.
  std::wstring copyOfStandin(const std::wstring& relative) {
    const std::wstring path = scratch_ + L"\\" + relative;
    const std::wstring folder = path.substr(0, path.rfind(L'\\'));
    CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_TRUE(CopyFileW(reportArgs_.c_str(), path.c_str(), FALSE)) << test::narrow(path);
    return path;
  }

  std::wstring scratch_;
  std::wstring report_;
  std::wstring reportArgs_;
};

TEST_F(ProcessRunner, CommandLineQuotesOnlyAPathWithABlank) {
  struct Case {
    std::wstring relative;
    std::wstring arguments;
    bool quoted;
  };
  const Case cases[] = {
      {L"plain\\DotNET-Setup.exe", L"/quiet /norestart", false},
      {L"plain\\DotNET-Setup.exe", L"", false},
      {L"Temp Dir\\DotNET-Setup.exe", L"/passive /norestart", true},
      {L"Temp Dir\\DotNET-Setup.exe", L"", true},
      {L"plain\\Setup Copy.exe", L"x", true},
  };
  for (const Case& c : cases) {
    const std::wstring exe = copyOfStandin(c.relative);
    const auto run = runAndReport(exe, c.arguments);
    std::wstring expected = c.quoted ? L"\"" + exe + L"\"" : exe;
    if (!c.arguments.empty()) expected += L" " + c.arguments;
    EXPECT_EQ(run.count("command") ? run.at("command") : L"<none>", expected) << test::narrow(c.relative);
    // The application name goes to the platform unquoted and names the file.
    EXPECT_EQ(comparablePath(run.count("module") ? run.at("module") : L""), comparablePath(exe));
  }
}

TEST_F(ProcessRunner, ArgumentsArriveVerbatimAfterOneBlank) {
  const std::wstring cases[] = {
      L"/quiet /norestart",
      L"  two leading blanks",
      L"trailing blank ",
      L"\"quoted arg\" \\\"escaped\\\" \"\"",
      L"tab\tinside",
      L"--silent=yes C:\\Program Files\\x",
      L"\u00e9t\u00e9 \u4e2d",
  };
  for (const std::wstring& arguments : cases) {
    const auto run = runAndReport(reportArgs_, arguments);
    EXPECT_EQ(run.count("command") ? run.at("command") : L"<none>", reportArgs_ + L" " + arguments)
        << test::narrow(arguments);
  }
}

TEST_F(ProcessRunner, EmptyWorkingDirectoryInheritsTheCallersOwn) {
  const std::wstring other = scratch_ + L"\\work dir";
  ASSERT_TRUE(CreateDirectoryW(other.c_str(), nullptr));

  const auto given = runAndReport(reportArgs_, L"", other);
  EXPECT_EQ(comparablePath(given.count("directory") ? given.at("directory") : L""), comparablePath(other));

  wchar_t own[MAX_PATH * 2];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH * 2, own), 0u);
  const auto inherited = runAndReport(reportArgs_, L"");
  EXPECT_EQ(comparablePath(inherited.count("directory") ? inherited.at("directory") : L""), comparablePath(own));
}

TEST_F(ProcessRunner, WindowIsShownNormally) {
  const auto run = runAndReport(reportArgs_, L"");
  ASSERT_TRUE(run.count("startFlags") && run.count("showWindow"));
  EXPECT_EQ(std::stoul(test::narrow(run.at("startFlags"))) & STARTF_USESHOWWINDOW, DWORD{STARTF_USESHOWWINDOW});
  EXPECT_EQ(run.at("showWindow"), std::to_wstring(SW_SHOW));
}

TEST_F(ProcessRunner, OnlyTheProcessHandleOutlivesTheCall) {
  const long before = test::openHandleCount();
  if (before < 0) GTEST_SKIP() << "the platform does not list handles";
  HANDLE process = runProcess(reportArgs_, L"", L"");
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(test::openHandleCount(), before + 1);
  WaitForSingleObject(process, 60000);
  CloseHandle(process);
}

TEST_F(ProcessRunner, WhatIsNotAProgramGivesNullAndLeavesNoHandle) {
  const std::string program = test::readFileBytes(reportArgs_);
  ASSERT_GT(program.size(), 4096u);
  struct Case {
    const char* what;
    std::wstring path;
  };
  const Case cases[] = {
      {"empty file", scratch_ + L"\\empty\\DotNET-Setup.exe"},
      {"text file", scratch_ + L"\\text\\DotNET-Setup.exe"},
      {"cut-off download", scratch_ + L"\\cut\\DotNET-Setup.exe"},
      {"missing file", scratch_ + L"\\missing\\DotNET-Setup.exe"},
      {"a directory", scratch_ + L"\\folder.exe"},
      {"empty path", L""},
  };
  for (const wchar_t* folder : {L"\\empty", L"\\text", L"\\cut", L"\\folder.exe"}) {
    CreateDirectoryW((scratch_ + folder).c_str(), nullptr);
  }
  test::writeFileBytes(cases[0].path, "");
  test::writeFileBytes(cases[1].path, "<html>404 Not Found</html>\r\n");
  test::writeFileBytes(cases[2].path, program.substr(0, 1024));

  if (test::openHandleCount() < 0) GTEST_SKIP() << "the platform does not list handles";
  for (const Case& c : cases) {
    const long before = test::openHandleCount();
    HANDLE process = runProcess(c.path, L"/quiet /norestart", scratch_);
    EXPECT_EQ(process, nullptr) << c.what;
    if (process) {
      TerminateProcess(process, 1);
      CloseHandle(process);
    }
    EXPECT_EQ(test::openHandleCount(), before) << c.what;
  }
  EXPECT_FALSE(test::fileExists(report_));
}

}  // namespace
}  // namespace tenvik
