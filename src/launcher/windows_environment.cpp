#include "launcher/windows_environment.h"

#include <shlobj.h>

#include "system/registry_text.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

// Looked up by name: these exist only on some Windows versions, and a static
// import would keep the program from starting on the others.
template <typename Function>
Function kernel32Function(const char* name) {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32");
  if (!kernel32) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

}  // namespace

void restrictDllSearchToSystem() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const auto setDefaultDllDirectories =
      kernel32Function<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
  if (setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  SetDllDirectoryW(L"");
}

bool windowStationIsInvisible() {
  const HWINSTA station = GetProcessWindowStation();  // not to be closed
  if (!station) return false;
  USEROBJECTFLAGS flags = {};
  if (!GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), nullptr)) return false;
  return (flags.dwFlags & WSF_VISIBLE) == 0;
}

bool isWow64() {
  using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto isWow64Process = kernel32Function<IsWow64ProcessFunction>("IsWow64Process");
  if (!isWow64Process) return false;
  BOOL wow64 = FALSE;
  isWow64Process(GetCurrentProcess(), &wow64);
  return wow64 != FALSE;
}

std::wstring nativeProgramFilesFolder(bool wow64) {
  if (!wow64) return knownFolderPath(FOLDERID_ProgramFiles);
  // The shell refuses FOLDERID_ProgramFilesX64 to 32-bit processes and gives
  // them the x86 folder for FOLDERID_ProgramFiles; the 64-bit registry view
  // names the native one.
  UniqueRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS) {
    return std::wstring();
  }
  return readStringValue(key.get(), L"ProgramFilesDir");
}

std::wstring knownFolderPath(const GUID& folder) {
  wchar_t* raw = nullptr;
  const HRESULT result = SHGetKnownFolderPath(folder, 0, nullptr, &raw);
  // The shell hands over its string even on some failures; it is ours to free.
  UniqueCoTaskMemString path(raw);
  if (FAILED(result) || !raw) return std::wstring();
  return std::wstring(raw);
}

}  // namespace tenvik
