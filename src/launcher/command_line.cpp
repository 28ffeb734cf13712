#include "launcher/command_line.h"

namespace tenvik {

bool commandLineAsksSilent(const std::wstring& commandLine) {
  return commandLine.find(L"--silent") != std::wstring::npos;
}

std::wstring hostParameters(const std::wstring& launchTarget, const std::wstring& commandLine) {
  const bool needsQuotes = launchTarget.find(L' ') != std::wstring::npos;
  std::wstring parameters = needsQuotes ? L"\"" + launchTarget + L"\"" : launchTarget;
  parameters += L' ';
  parameters += commandLine;
  return parameters;
}

std::wstring hostCommandLine(const std::wstring& hostPath, const std::wstring& parameters) {
  return L"\"" + hostPath + L"\" " + parameters;
}

std::wstring prerequisiteFailureMessage(const std::wstring& manualDownloadPage) {
  return L"Setup of prerequisite NET Framework failed.\nPlease visit " + manualDownloadPage +
         L" for manual setup.";
}

}  // namespace tenvik
