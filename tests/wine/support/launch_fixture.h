#pragma once
// A machine prepared for end-to-end runs of Setup.exe: a registered .NET 6
// runtime whose dotnet.exe is the stand-in host, no work directory, and a
// place for the host's report. Runs are made with runSetup; the host's
// report is read back with hostReport.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/wine_support.h"

namespace tenvik::test {

struct HostReport {
  bool present = false;      // false: the host never ran
  std::string parameters;    // UTF-8, as the host received them after its name
  std::string directory;
  std::string show;  // the show state it was started with, or "default"
  std::map<std::string, std::string> files;  // relative name -> "size|crc32"
  std::map<std::string, std::string> environment;  // the variables it reports (environmentReport), UTF-8
};

// The report the stand-in host wrote at path; present is false without one.
HostReport readHostReport(const std::wstring& path);

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs exe with args and the host told to exit with hostExitCode.
  RunResult runSetup(const std::wstring& exe, const std::wstring& args, long long hostExitCode = 0);
  HostReport hostReport() const;

  std::wstring workDirectory() const;  // ProgramData\Tenvik\Setup.tmp
  std::wstring productDirectory() const;  // ProgramData\Tenvik
  // Where the runtime installer is written and run from.
  std::wstring installerDirectory() const;  // ProgramData\Tenvik\Runtime.tmp
  std::wstring installerFile() const;       // ...\Runtime.tmp\DotNET-Setup.exe
  // The product folder and whatever a run moved aside from it.
  void deleteProductFolders() const;

  std::wstring scratch_;
  std::wstring hostDirectory_;
  std::wstring reportPath_;
};

// "size|crc32" of data, as the stand-in host reports a file.
std::string fileSignature(const std::string& data);

}  // namespace tenvik::test
