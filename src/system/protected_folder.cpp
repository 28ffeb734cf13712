#include "system/protected_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "system/file_system.h"
#include "system/folder_trust.h"
#include "system/unique_handle.h"

namespace tenvik {
namespace {

// Owner Administrators; protected DACL: full control for SYSTEM and the
// Administrators group, inherited by subfolders and files.
constexpr wchar_t kProtectedDescriptor[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

UniqueLocalDescriptor protectedDescriptor() {
  UniqueLocalDescriptor descriptor;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtectedDescriptor, SDDL_REVISION_1, descriptor.put(),
                                                       nullptr);
  return descriptor;
}

bool createProtectedDirectory(const std::wstring& path) {
  UniqueLocalDescriptor descriptor = protectedDescriptor();
  if (!descriptor) return false;
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
  return CreateDirectoryW(path.c_str(), &attributes) != FALSE;
}

std::string sidText(PSID sid) {
  UniqueLocalString text;
  if (!sid || !ConvertSidToStringSidW(sid, text.put())) return std::string();
  std::string ascii;
  for (const wchar_t* c = text.get(); *c; ++c) ascii.push_back(static_cast<char>(*c));  // digits, dashes, 'S'
  return ascii;
}

FolderOwner ownerOf(const std::wstring& path) {
  PSID owner = nullptr;  // points into descriptor
  UniqueLocalDescriptor descriptor;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                            nullptr, descriptor.put()) != ERROR_SUCCESS) {
    return FolderOwner::someoneElse;
  }
  return ownerFromSid(sidText(owner));
}

// Taking over what another account owns needs these two, which an elevated
// administrator holds but has not switched on.
void enableTakeOverPrivileges() {
  UniqueKernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.put())) return;
  for (const wchar_t* name : {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME}) {
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) {
      AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
  }
}

bool resetSecurity(const std::wstring& path) {
  UniqueLocalDescriptor descriptor = protectedDescriptor();
  if (!descriptor) return false;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) ||
      !GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted)) {
    return false;
  }
  enableTakeOverPrivileges();
  // The owner first: once it is ours, changing the DACL needs no grant in it.
  std::wstring name = path;
  if (SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                               dacl, nullptr) == ERROR_SUCCESS;
}

// Attributes as the entry itself reports them, a link not followed.
bool inspect(const std::wstring& path, ExistingFolder& folder) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  folder.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  folder.reparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  folder.owner = folder.directory && !folder.reparsePoint ? ownerOf(path) : FolderOwner::someoneElse;
  return true;
}

}  // namespace

bool prepareProtectedFolder(const std::wstring& path) {
  ExistingFolder folder;
  if (!inspect(path, folder)) return createProtectedDirectory(path);
  switch (judgeExistingFolder(folder)) {
    case FolderVerdict::trusted:
      return true;
    case FolderVerdict::resetSecurity:
      return resetSecurity(path);
    case FolderVerdict::replace:
      removeDirectory(path);
      return createProtectedDirectory(path);
  }
  return false;
}

bool makeFreshProtectedFolder(const std::wstring& path) {
  ExistingFolder folder;
  if (inspect(path, folder)) {
    if (judgeExistingFolder(folder) == FolderVerdict::resetSecurity) resetSecurity(path);
    removeDirectory(path);
  }
  return createProtectedDirectory(path);
}

}  // namespace tenvik
