#include "support/wine_support.h"

#include <shlobj.h>
#include <shellapi.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <stdexcept>

#include "package/text_conversion.h"
#include "system/unique_handle.h"

namespace tenvik::test {
namespace {

void check(LONG status, const char* what) {
  if (status != ERROR_SUCCESS) {
    throw std::runtime_error(std::string(what) + " failed with " + std::to_string(status));
  }
}

UniqueRegistryKey createKey(HKEY root, const std::wstring& key, REGSAM view) {
  UniqueRegistryKey handle;
  check(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                        handle.put(), nullptr),
        "RegCreateKeyExW");
  return handle;
}

std::wstring treePath(const wchar_t* variable, const std::wstring& relative) {
  const std::wstring root = environmentVariable(variable);
  if (root.empty()) throw std::runtime_error("the test runner did not set the tree variables");
  std::wstring path = windowsPathOf(narrow(root));
  if (!relative.empty()) path += L"\\" + relative;
  return path;
}

}  // namespace

std::wstring environmentVariable(const std::wstring& name) {
  const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  if (size == 0) return std::wstring();
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name.c_str(), value.data(), size));
  return value;
}

std::wstring windowsPathOf(const std::string& unixPath) {
  std::wstring path = L"Z:" + widen(unixPath);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::string unixPathOf(const std::wstring& windowsPath) {
  using GetUnixFileName = char*(CDECL*)(const wchar_t*);
  const auto convert = reinterpret_cast<GetUnixFileName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (!convert) return std::string();
  char* unix = convert(windowsPath.c_str());
  if (!unix) return std::string();
  std::string result(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

namespace {
// Wine starts a Linux program but cannot wait for it or read its exit code,
// so the caller watches for the tool's effect instead.
bool runUnixTool(const std::wstring& tool, const std::vector<std::string>& unixArguments,
                 const std::wstring& watched, bool shouldExist) {
  std::wstring args;
  for (const std::string& argument : unixArguments) {
    if (argument.empty()) return false;
    args += (args.empty() ? L"\"" : L" \"") + widen(argument) + L"\"";
  }
  if (!runProgram(tool, args).started) return false;
  for (int i = 0; i < 500; ++i) {
    WIN32_FIND_DATAW found;
    const HANDLE listing = FindFirstFileW(watched.c_str(), &found);
    const bool exists = listing != INVALID_HANDLE_VALUE;
    if (exists) FindClose(listing);
    if (exists == shouldExist) return true;
    Sleep(10);
  }
  return false;
}
}  // namespace

bool makeUnixLink(const std::wstring& target, const std::wstring& link) {
  return runUnixTool(L"Z:\\bin\\ln", {"-s", unixPathOf(target), unixPathOf(link)}, link, true);
}

bool removeUnixLink(const std::wstring& link) {
  return runUnixTool(L"Z:\\bin\\rm", {"-f", unixPathOf(link)}, link, false);
}

std::wstring buildPath(const std::wstring& relative) { return treePath(L"TENVIK_BUILD_DIR", relative); }
std::wstring sourcePath(const std::wstring& relative) { return treePath(L"TENVIK_SOURCE_DIR", relative); }

std::wstring knownFolder(const GUID& id) {
  wchar_t* raw = nullptr;
  if (FAILED(SHGetKnownFolderPath(id, 0, nullptr, &raw))) return std::wstring();
  UniqueCoTaskMemString owned(raw);
  return std::wstring(raw);
}

std::wstring programDataPath() { return knownFolder(FOLDERID_ProgramData); }

std::wstring tempPath() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, length);
}

RunResult runProgram(const std::wstring& exe, const std::wstring& args, DWORD timeoutMs,
                     const std::wstring& workingDirectory) {
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!args.empty()) commandLine += L" " + args;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  RunResult result;
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &info)) {
    return result;
  }
  UniqueKernelHandle process(info.hProcess);
  UniqueKernelHandle thread(info.hThread);
  result.started = true;
  if (WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 0xDEAD);
    WaitForSingleObject(process.get(), 10000);
    result.timedOut = true;
  }
  GetExitCodeProcess(process.get(), &result.exitCode);
  return result;
}

void setRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                      const std::vector<uint8_t>& data, REGSAM view) {
  UniqueRegistryKey handle = createKey(root, key, view);
  check(RegSetValueExW(handle.get(), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())),
        "RegSetValueExW");
}

void setRegistryString(HKEY root, const std::wstring& key, const std::wstring& name,
                       const std::wstring& value, DWORD type, REGSAM view) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(value.c_str());
  setRegistryValue(root, key, name, type,
                   std::vector<uint8_t>(bytes, bytes + (value.size() + 1) * sizeof(wchar_t)), view);
}

void setRegistryRawString(HKEY root, const std::wstring& key, const std::wstring& name,
                          const std::vector<uint8_t>& bytes, DWORD type, REGSAM view) {
  // The registry adds a terminator to the count when the unit just past the
  // data is zero; a non-zero unit there keeps the data exactly as given.
  std::vector<uint8_t> buffer(bytes);
  buffer.push_back(0x41);
  buffer.push_back(0x41);
  buffer.push_back(0x41);
  UniqueRegistryKey handle = createKey(root, key, view);
  check(RegSetValueExW(handle.get(), name.c_str(), 0, type, buffer.data(), static_cast<DWORD>(bytes.size())),
        "RegSetValueExW");
}

void setRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value,
                      REGSAM view) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&value);
  setRegistryValue(root, key, name, REG_DWORD, std::vector<uint8_t>(bytes, bytes + sizeof(value)), view);
}

void createRegistryKey(HKEY root, const std::wstring& key, REGSAM view) { createKey(root, key, view); }

void deleteRegistryTree(HKEY root, const std::wstring& key, REGSAM view) {
  UniqueRegistryKey handle;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_ALL_ACCESS | view, handle.put()) != ERROR_SUCCESS) return;
  RegDeleteTreeW(handle.get(), nullptr);
  handle.reset();
  RegDeleteKeyExW(root, key.c_str(), view, 0);
}

bool fileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool directoryExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string readFileBytes(const std::wstring& path) {
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  if (!file) return std::string();
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

void writeFileBytes(const std::wstring& path, const std::string& bytes) {
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) throw std::runtime_error("cannot create " + narrow(path));
  DWORD written = 0;
  if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    throw std::runtime_error("cannot write " + narrow(path));
  }
}

void deleteTree(const std::wstring& path) {
  std::wstring list = path;
  list.append(2, L'\0');
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = list.c_str();
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  SHFileOperationW(&operation);
}

std::wstring daclText(const std::wstring& path) {
  UniqueLocalDescriptor descriptor;
  PACL dacl = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, descriptor.put()) != ERROR_SUCCESS) {
    return L"<unreadable>";
  }
  UniqueLocalString text;
  ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.get(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                       text.put(), nullptr);
  return text ? text.get() : L"<unconvertible>";
}

bool grantsOthersNothing(const std::wstring& path) {
  const std::wstring dacl = daclText(path);
  if (dacl.rfind(L"D:", 0) != 0) return false;
  for (const wchar_t* other : {L";;;WD)", L";;;BU)", L";;;AU)", L";;;IU)"}) {
    if (dacl.find(other) != std::wstring::npos) return false;
  }
  return dacl.find(L";;;SY)") != std::wstring::npos;
}

std::wstring makeScratchDirectory(const std::wstring& hint) {
  static unsigned counter = 0;
  const std::wstring path = tempPath() + L"tenvik-test-" + hint + L"-" + std::to_wstring(GetCurrentProcessId()) +
                            L"-" + std::to_wstring(++counter);
  deleteTree(path);
  if (!CreateDirectoryW(path.c_str(), nullptr)) throw std::runtime_error("cannot create scratch directory");
  return path;
}

namespace {
void collectFiles(const std::wstring& root, const std::wstring& prefix, std::vector<std::wstring>& out) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((root + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      collectFiles(root + L"\\" + name, prefix + name + L"\\", out);
    } else {
      out.push_back(prefix + name);
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}
}  // namespace

std::vector<std::wstring> listFilesRecursive(const std::wstring& root) {
  std::vector<std::wstring> files;
  collectFiles(root, L"", files);
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::wstring> movedAsideCopies(const std::wstring& path) {
  std::vector<std::wstring> copies;
  const std::wstring parent = path.substr(0, path.rfind(L'\\'));
  const std::wstring name = path.substr(parent.size() + 1);
  WIN32_FIND_DATAW found;
  const HANDLE listing = FindFirstFileW((path + L".*").c_str(), &found);
  if (listing == INVALID_HANDLE_VALUE) return copies;
  do {
    const std::wstring entry = found.cFileName;
    const bool hexTail = entry.size() == name.size() + 17 &&
                         entry.find_first_not_of(L"0123456789abcdef", name.size() + 1) == std::wstring::npos;
    if (hexTail) copies.push_back(parent + L"\\" + entry);
  } while (FindNextFileW(listing, &found));
  FindClose(listing);
  std::sort(copies.begin(), copies.end());
  return copies;
}

std::string narrow(const std::wstring& text) { return toUTF8(text); }

std::wstring widen(const std::string& utf8) { return toUTF16(utf8); }

}  // namespace tenvik::test
