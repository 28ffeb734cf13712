#define _CRT_RAND_S  // rand_s: the platform's random source, through the C runtime
#include "system/protected_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "system/directory_handle.h"
#include "system/file_system.h"
#include "system/folder_trust.h"
#include "system/handle_path.h"
#include "system/path.h"
#include "system/privilege_scope.h"
#include "system/sized_text.h"
#include "system/system_library.h"
#include "system/tree_removal.h"

namespace tenvik {
namespace {

// Owner Administrators; protected DACL: full control for SYSTEM and the
// Administrators group, inherited by subfolders and files.
constexpr wchar_t kProtectedDescriptor[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// How the run holds its folders (see ProductFolder::handle): no right that
// takes part in sharing, so the hold turns nobody away, and no sharing of
// deletion, so nobody can rename or delete the folder under it.
constexpr DWORD kHoldAccess = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kHoldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The entry itself: a link is opened as a link, never followed.
constexpr DWORD kEntryItself = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;

constexpr NTSTATUS kObjectNameCollision = static_cast<NTSTATUS>(0xC0000035);
constexpr int kMoveAsideNames = 4;
constexpr int kRunOwnNames = 4;
constexpr int kProductFolderRounds = 3;

UniqueLocalDescriptor protectedDescriptor() {
  UniqueLocalDescriptor descriptor;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtectedDescriptor, SDDL_REVISION_1, descriptor.put(),
                                                       nullptr);
  return descriptor;
}

enum class Creation { created, somethingThere, failed };

using NtCreateFileFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                              PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);

// Creates path as a directory with the protected descriptor and opens it as
// the run holds it, in one call: there is no moment in which the new folder
// exists and is not held. CreateDirectoryW would close its handle. ntdll is
// in every process; looking the call up keeps it out of the import table.
Creation createHeldDirectory(const std::wstring& path, UniqueFileHandle& held) {
  NtCreateFileFunction ntCreateFile = nullptr;
  if (!resolveFunction(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile", ntCreateFile)) return Creation::failed;
  UniqueLocalDescriptor descriptor = protectedDescriptor();
  std::wstring native = nativePathOf(path);
  if (!descriptor || native.empty() || native.size() * sizeof(wchar_t) > 0xFFFE) return Creation::failed;

  UNICODE_STRING name;
  name.Buffer = native.data();
  name.Length = static_cast<USHORT>(native.size() * sizeof(wchar_t));
  name.MaximumLength = name.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, descriptor.get());
  IO_STATUS_BLOCK status = {};
  HANDLE handle = nullptr;
  const NTSTATUS result =
      ntCreateFile(&handle, kHoldAccess, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, kHoldSharing,
                   FILE_CREATE, FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT |
                                    FILE_OPEN_FOR_BACKUP_INTENT,
                   nullptr, 0);
  if (NT_SUCCESS(result)) {
    held.reset(handle);
    return Creation::created;
  }
  return result == kObjectNameCollision ? Creation::somethingThere : Creation::failed;
}

UniqueFileHandle openEntry(const std::wstring& path, DWORD access) {
  return UniqueFileHandle(CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, kEntryItself, nullptr));
}

// A second handle on the very object handle is open on, never by name.
UniqueFileHandle reopen(HANDLE handle, DWORD access, DWORD sharing) {
  return UniqueFileHandle(ReOpenFile(handle, access, sharing, kEntryItself));
}

std::string sidText(PSID sid) {
  UniqueLocalString text;
  if (!sid || !IsValidSid(sid) || !ConvertSidToStringSidW(sid, text.put())) return std::string();
  std::string ascii;
  for (const wchar_t* c = text.get(); *c; ++c) ascii.push_back(static_cast<char>(*c));  // digits, dashes, 'S'
  return ascii;
}

AceEntry describeAce(const ACE_HEADER* header) {
  AceEntry entry;
  entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
  switch (header->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {  // a condition does not make a grant harmless
      const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
      entry.kind = AceKind::allow;
      entry.mask = allowed->Mask;
      entry.sid = sidText(const_cast<DWORD*>(&allowed->SidStart));
      if (entry.sid.empty()) entry.kind = AceKind::other;
      return entry;
    }
    case ACCESS_DENIED_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
    case ACCESS_DENIED_OBJECT_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
      entry.kind = AceKind::deny;
      return entry;
    default:  // object and compound grants have no place on a folder: not ours
      entry.kind = AceKind::other;
      return entry;
  }
}

void readSecurity(HANDLE handle, ExistingFolder& folder) {
  PSID owner = nullptr;  // both point into descriptor
  PACL dacl = nullptr;
  UniqueLocalDescriptor descriptor;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                      nullptr, &dacl, nullptr, descriptor.put()) != ERROR_SUCCESS) {
    return;
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!GetSecurityDescriptorControl(descriptor.get(), &control, &revision)) return;
  folder.ownerSid = sidText(owner);
  folder.daclPresent = dacl != nullptr;
  folder.daclProtected = (control & SE_DACL_PROTECTED) != 0;
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) return;
    folder.dacl.push_back(describeAce(static_cast<const ACE_HEADER*>(ace)));
  }
  folder.securityRead = true;
}

ExistingFolder describe(HANDLE handle, const std::wstring& path) {
  ExistingFolder folder;
  const std::optional<DWORD> attributes = attributesOf(handle);
  if (!attributes) return folder;
  folder.directory = (*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  folder.reparsePoint = (*attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  folder.atItsPath = isStillAt(handle, path);
  readSecurity(handle, folder);
  return folder;
}

// A handle with access on what judged is open on, sharing everything. When
// the folder's owner or DACL does not grant it, the privileges of
// take-ownership and restore do (a backup-semantics open is all they need),
// switched on for that one open and off again as soon as the handle is had.
UniqueFileHandle reopenOverriding(HANDLE judged, DWORD access) {
  UniqueFileHandle handle = reopen(judged, access, kShareAll);
  if (handle || GetLastError() != ERROR_ACCESS_DENIED) return handle;
  const PrivilegeScope privileges({SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME});
  if (!privileges.allEnabled()) return UniqueFileHandle();
  return reopen(judged, access, kShareAll);
}

// Gives the folder judged through handle the protected descriptor, whether
// or not its owner and DACL let us change them.
bool setProtectedDescriptor(HANDLE judged) {
  UniqueLocalDescriptor descriptor = protectedDescriptor();
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  if (!descriptor || !GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) ||
      !GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted)) {
    return false;
  }
  const UniqueFileHandle writer = reopenOverriding(judged, WRITE_DAC | WRITE_OWNER);
  if (!writer) return false;
  // Administrators as owner needs no privilege: the group may own what its
  // elevated members make.
  return SetSecurityInfo(writer.get(), SE_FILE_OBJECT,
                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                         owner, nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

std::wstring wordOf(const std::wstring& path) { return path.substr(parentPath(path).size() + 1); }

bool randomNumber(std::uint64_t& number) {
  unsigned int high = 0;
  unsigned int low = 0;
  if (rand_s(&high) != 0 || rand_s(&low) != 0) return false;
  number = (static_cast<std::uint64_t>(high) << 32) | low;
  return true;
}

bool renameThrough(HANDLE handle, const std::wstring& nativeTarget) {
  const size_t nameBytes = nativeTarget.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes, 0);  // the terminator included
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(nameBytes);
  std::copy(nativeTarget.begin(), nativeTarget.end(), rename->FileName);
  return SetFileInformationByHandle(handle, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

// Moves what judged is open on to an unused name beside path, through that
// very object: a handle its owner opened earlier follows it there, and what
// it holds stays with it. The name is random, so nobody can have taken it
// in advance on purpose; one that is taken all the same is passed over.
bool moveAside(HANDLE judged, const std::wstring& path) {
  // ProgramData's own DACL lets administrators delete what is in it, whatever
  // the folder's says; the privileges cover a ProgramData that does not.
  const UniqueFileHandle mover = reopenOverriding(judged, DELETE | SYNCHRONIZE);
  if (!mover) return false;  // held by someone who does not share deletion
  const std::wstring word = wordOf(path);
  for (int attempt = 0; attempt < kMoveAsideNames; ++attempt) {
    std::uint64_t unique = 0;
    if (!randomNumber(unique)) return false;
    const std::wstring target = nativePathOf(joinPath(parentPath(path), movedAsideName(word, unique)));
    if (target.empty()) return false;
    if (renameThrough(mover.get(), target)) return true;
  }
  return false;
}

// The hold of the run, taken through the handle the folder was judged by;
// it fails while anybody else holds the folder with the right to delete it.
UniqueFileHandle holdJudged(HANDLE judged, const std::wstring& path) {
  UniqueFileHandle held = reopen(judged, kHoldAccess, kHoldSharing);
  if (!held || !isStillAt(held.get(), path)) return UniqueFileHandle();
  return held;
}

// A folder of the run's own beside path, made and held in one call under a
// random name: one that is taken is passed over, and nothing that stood
// there before can be the folder made.
ProductFolder makeRunOwnFolder(const std::wstring& path) {
  for (int attempt = 0; attempt < kRunOwnNames; ++attempt) {
    std::uint64_t unique = 0;
    if (!randomNumber(unique)) break;
    ProductFolder own;
    own.path = joinPath(parentPath(path), movedAsideName(wordOf(path), unique));
    const Creation creation = createHeldDirectory(own.path, own.handle);
    if (creation == Creation::somethingThere) continue;
    if (creation == Creation::failed || !isStillAt(own.handle.get(), own.path)) break;
    own.createdNow = true;
    own.runOwn = true;
    return own;
  }
  return ProductFolder();
}

// The product folder at path made ours, as prepareProductFolder describes,
// or an empty handle.
ProductFolder prepareNamedFolder(const std::wstring& path) {
  // A folder moved aside may be replaced at once by someone who can create
  // folders in ProgramData: a few rounds, then give up.
  for (int round = 0; round < kProductFolderRounds; ++round) {
    ProductFolder product;
    product.path = path;
    switch (createHeldDirectory(path, product.handle)) {
      case Creation::created:
        if (!isStillAt(product.handle.get(), path)) return ProductFolder();
        product.createdNow = true;
        return product;
      case Creation::failed:
        return ProductFolder();
      case Creation::somethingThere:
        break;
    }
    UniqueFileHandle judged = openEntry(path, READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
    // A descriptor that does not even let administrators read it says
    // enough: the attributes are granted through ProgramData's listing right.
    if (!judged && GetLastError() == ERROR_ACCESS_DENIED) judged = openEntry(path, FILE_READ_ATTRIBUTES | SYNCHRONIZE);
    if (!judged) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) continue;  // gone meanwhile: make it
      return ProductFolder();
    }
    switch (judgeExistingFolder(describe(judged.get(), path))) {
      case FolderVerdict::trusted:
        product.handle = holdJudged(judged.get(), path);
        return product;
      case FolderVerdict::reprotect:
        if (setProtectedDescriptor(judged.get())) {
          product.handle = holdJudged(judged.get(), path);
          return product;
        }
        // Ours in name, but we cannot make it as we need it: like any other.
        [[fallthrough]];
      case FolderVerdict::moveAside:
        if (!moveAside(judged.get(), path)) return ProductFolder();
        continue;
      case FolderVerdict::elsewhere:
        return ProductFolder();
    }
  }
  return ProductFolder();
}

// A handle on what held is open on with the rights removeDirectoryByHandle
// needs, opened through held. A process that just ended may still have the
// folder open as its current directory without sharing deletion (a console
// host outlives its program for a moment): such a refusal is waited out
// with the pauses of a removal.
UniqueFileHandle openForRemoval(HANDLE held) {
  for (int attempt = 1;; ++attempt) {
    UniqueFileHandle remover = reopen(held, kListableEntryAccess, kShareAll);
    if (remover) return remover;
    const DWORD pause = removalPauseMs(attempt);
    if (!removalMayClearUp(GetLastError()) || pause == 0) return UniqueFileHandle();
    Sleep(pause);
  }
}

}  // namespace

ProductFolder prepareProductFolder(const std::wstring& path) {
  if (parentPath(path).empty()) return ProductFolder();
  ProductFolder product = prepareNamedFolder(path);
  if (product.handle) return product;
  // Whoever holds or keeps remaking the folder at path must not be able to
  // stop every run.
  return makeRunOwnFolder(path);
}

UniqueFileHandle makeFreshHeldFolder(const std::wstring& path) {
  removeDirectory(path);  // false at once when there is nothing to remove
  UniqueFileHandle held;
  if (createHeldDirectory(path, held) != Creation::created) return UniqueFileHandle();
  if (!isStillAt(held.get(), path)) return UniqueFileHandle();
  return held;
}

bool isStillAt(HANDLE handle, const std::wstring& path) {
  const std::wstring finalPath = readSizedText(
      [handle](unsigned long capacity, wchar_t* buffer) {
        return GetFinalPathNameByHandleW(handle, buffer, capacity, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      },
      MAX_PATH + 1);
  return !finalPath.empty() && namesSamePath(finalPath, path);
}

bool removeHeldFolder(UniqueFileHandle& folder, const std::wstring& path) {
  if (!folder) return false;
  {
    const UniqueFileHandle remover = openForRemoval(folder.get());
    folder.reset();
    if (!remover) return false;
    removeDirectoryByHandle(remover.get());
  }  // the classic delete takes the folder away as its last handle closes
  return pathIsGone(path);
}

}  // namespace tenvik
