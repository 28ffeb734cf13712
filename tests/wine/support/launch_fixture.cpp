#include "support/launch_fixture.h"

#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <sstream>

#include "support/runtime_registry.h"

namespace tenvik::test {

void LaunchTest::SetUp() {
  scratch_ = makeScratchDirectory(L"launch");
  hostDirectory_ = scratch_ + L"\\dotnet";
  reportPath_ = scratch_ + L"\\host-report.txt";
  clearRuntimeRegistrations();
  registerFramework(RuntimeArch::X64, L"Microsoft.WindowsDesktop.App", L"6.0.36");
  setInstallLocation(RuntimeArch::X64, hostDirectory_ + L"\\");
  installFakeHost(hostDirectory_);
  deleteProductFolders();
}

void LaunchTest::deleteProductFolders() const {
  deleteTree(productDirectory());
  for (const std::wstring& copy : movedAsideCopies(productDirectory())) deleteTree(copy);
}

void LaunchTest::TearDown() {
  SetEnvironmentVariableW(L"TENVIK_HOST_REPORT", nullptr);
  SetEnvironmentVariableW(L"TENVIK_HOST_EXIT", nullptr);
  clearRuntimeRegistrations();
  deleteProductFolders();
  deleteTree(scratch_);
}

RunResult LaunchTest::runSetup(const std::wstring& exe, const std::wstring& args, long long hostExitCode) {
  DeleteFileW(reportPath_.c_str());
  SetEnvironmentVariableW(L"TENVIK_HOST_REPORT", reportPath_.c_str());
  SetEnvironmentVariableW(L"TENVIK_HOST_EXIT", std::to_wstring(hostExitCode).c_str());
  return runProgram(exe, args, 120000);
}

HostReport LaunchTest::hostReport() const { return readHostReport(reportPath_); }

HostReport readHostReport(const std::wstring& path) {
  HostReport report;
  const std::string text = readFileBytes(path);
  report.present = fileExists(path);
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("parameters=", 0) == 0) {
      report.parameters = line.substr(11);
    } else if (line.rfind("directory=", 0) == 0) {
      report.directory = line.substr(10);
    } else if (line.rfind("show=", 0) == 0) {
      report.show = line.substr(5);
    } else if (line.rfind("env.", 0) == 0 && line.find('=') != std::string::npos) {
      report.environment[line.substr(4, line.find('=') - 4)] = line.substr(line.find('=') + 1);
    } else if (line.rfind("file=", 0) == 0) {
      const std::string rest = line.substr(5);
      const size_t bar = rest.find('|');
      report.files[rest.substr(0, bar)] = rest.substr(bar + 1);
    }
  }
  return report;
}

std::wstring LaunchTest::productDirectory() const { return programDataPath() + L"\\Tenvik"; }
std::wstring LaunchTest::workDirectory() const { return productDirectory() + L"\\Setup.tmp"; }
std::wstring LaunchTest::installerDirectory() const { return productDirectory() + L"\\Runtime.tmp"; }
std::wstring LaunchTest::installerFile() const { return installerDirectory() + L"\\DotNET-Setup.exe"; }

std::string fileSignature(const std::string& data) {
  const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.data()),
                          static_cast<uInt>(data.size()));
  char text[64];
  snprintf(text, sizeof(text), "%llu|%08lx", static_cast<unsigned long long>(data.size()),
           static_cast<unsigned long>(crc));
  return text;
}

}  // namespace tenvik::test
