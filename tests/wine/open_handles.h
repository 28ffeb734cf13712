#pragma once
// How many handles this process holds, for tests that check nothing is left
// open. GetProcessHandleCount answers 0 under Wine, so the count comes from
// the system-wide handle list, which Wine does keep.

#include <windows.h>

#include <vector>

namespace tenvik::test {

// -1 when the platform will not tell.
inline long openHandleCount() {
  struct Entry {
    ULONG processId;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
  };
  struct List {
    ULONG count;
    Entry entries[1];
  };
  using Query = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  constexpr int kSystemHandleInformation = 16;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  std::vector<BYTE> buffer(1 << 16);
  for (;;) {
    ULONG needed = 0;
    const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch && buffer.size() < (64u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != 0) return -1;
    break;
  }
  const auto* list = reinterpret_cast<const List*>(buffer.data());
  long mine = 0;
  for (ULONG i = 0; i < list->count; ++i) {
    if (list->entries[i].processId == GetCurrentProcessId()) ++mine;
  }
  return mine;
}

}  // namespace tenvik::test
