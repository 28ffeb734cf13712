// A small program that downloads one address with downloadFile, for tests
// that must run the downloader in a folder of their own making (a planted
// winhttp.dll beside it).
//   download_probe download URL OUTPUT   writes the body (empty on failure)
//   download_probe plain-load OUTPUT     loads "winhttp.dll" the careless
//                                        way and writes which file came in
// Exit code 0 when the output was written, 2 on bad arguments, 3 when the
// output could not be written.

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "download/download_file.h"
#include "standin_report.h"
#include "system/unique_handle.h"

namespace {

bool writeOutput(const wchar_t* path, const std::string& bytes) {
  tenvik::UniqueFileHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}


// The default search order, application folder first: what a program that
// imported winhttp.dll would get.
std::string plainLoad() {
  tenvik::UniqueModule module(LoadLibraryW(L"winhttp.dll"));
  if (!module) return std::string();
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(module.get(), path, MAX_PATH + 1);
  return standin::utf8(std::wstring(path, length));
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return 2;
  int code = 2;
  const std::wstring action = count > 1 ? arguments[1] : L"";
  if (action == L"download" && count == 4) {
    code = writeOutput(arguments[3], tenvik::downloadFile(arguments[2], 60000)) ? 0 : 3;
  } else if (action == L"plain-load" && count == 3) {
    code = writeOutput(arguments[2], plainLoad()) ? 0 : 3;
  }
  LocalFree(arguments);
  return code;
}
