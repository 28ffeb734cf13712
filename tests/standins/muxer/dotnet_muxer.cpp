// Stand-in for the runtime's own muxer, dotnet.exe, built for x64 and put in
// a laid-out runtime folder by tests/harness/real-runtime.sh. It does what the
// vendor's muxer does when started as "dotnet.exe App.dll ARGS": it loads the
// newest host\fxr\<version>\hostfxr.dll beside itself and hands the whole
// command line to hostfxr_main_startupinfo with its own full path as the host
// path and its folder as the runtime root, returning what that returns. What
// hostfxr and hostpolicy then decide (the framework, its version, the roll
// forward, the "framework not found" answer) is the vendor's real code.
//
// Exit codes of its own, in the range the vendor's host uses for the same
// outcomes: 0x80008083 when no hostfxr.dll is found, 0x80008082 when it
// cannot be loaded or lacks the entry point.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using MainStartupInfo = int(__cdecl*)(int argc, const wchar_t** argv, const wchar_t* hostPath,
                                      const wchar_t* dotnetRoot, const wchar_t* appPath);

constexpr int kFxrNotFound = static_cast<int>(0x80008083);
constexpr int kFxrNotLoaded = static_cast<int>(0x80008082);

// Numeric parts of "10.0.15" or "9.0.0-rc.1"; a pre-release sorts below its
// release, as semantic versions do.
struct Version {
  std::vector<unsigned long> parts;
  bool prerelease = false;
};

Version parseVersion(const std::wstring& text) {
  Version version;
  const wchar_t* p = text.c_str();
  while (*p >= L'0' && *p <= L'9') {
    wchar_t* end = nullptr;
    version.parts.push_back(std::wcstoul(p, &end, 10));
    p = end;
    if (*p != L'.') break;
    ++p;
  }
  version.prerelease = *p == L'-';
  return version;
}

bool newer(const Version& a, const Version& b) {
  for (size_t i = 0; i < a.parts.size() || i < b.parts.size(); ++i) {
    const unsigned long x = i < a.parts.size() ? a.parts[i] : 0;
    const unsigned long y = i < b.parts.size() ? b.parts[i] : 0;
    if (x != y) return x > y;
  }
  return !a.prerelease && b.prerelease;
}

std::wstring newestFxr(const std::wstring& root) {
  const std::wstring fxrDir = root + L"\\host\\fxr\\";
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((fxrDir + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return std::wstring();
  std::wstring best;
  Version bestVersion;
  do {
    const std::wstring name = data.cFileName;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name[0] < L'0' || name[0] > L'9') continue;
    const std::wstring dll = fxrDir + name + L"\\hostfxr.dll";
    if (GetFileAttributesW(dll.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    const Version version = parseVersion(name);
    if (best.empty() || newer(version, bestVersion)) {
      best = dll;
      bestVersion = version;
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return best;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring hostPath(32768, L'\0');
  hostPath.resize(GetModuleFileNameW(nullptr, hostPath.data(), static_cast<DWORD>(hostPath.size())));
  const std::wstring root = hostPath.substr(0, hostPath.find_last_of(L'\\'));

  const std::wstring fxr = newestFxr(root);
  if (fxr.empty()) {
    std::fwprintf(stderr, L"dotnet: no host\\fxr\\<version>\\hostfxr.dll below %ls\n", root.c_str());
    return kFxrNotFound;
  }
  HMODULE library = LoadLibraryExW(fxr.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const auto start =
      library ? reinterpret_cast<MainStartupInfo>(GetProcAddress(library, "hostfxr_main_startupinfo")) : nullptr;
  if (!start) {
    std::fwprintf(stderr, L"dotnet: cannot use %ls (error %lu)\n", fxr.c_str(), GetLastError());
    return kFxrNotLoaded;
  }
  const std::wstring appPath = root + L"\\dotnet.dll";
  return start(argc, const_cast<const wchar_t**>(argv), hostPath.c_str(), root.c_str(), appPath.c_str());
}
