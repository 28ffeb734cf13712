#include "system/held_file.h"

#include "system/directory_handle.h"
#include "system/file_system.h"

namespace tenvik {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Rights that take no part in sharing: a handle with nothing more conflicts
// with no other, whatever either shares.
constexpr DWORD kNoSharedRights = FILE_READ_ATTRIBUTES | SYNCHRONIZE;

UniqueFileHandle reopen(HANDLE file, DWORD access, DWORD sharing) {
  return UniqueFileHandle(ReOpenFile(file, access, sharing, 0));
}

bool deleteThrough(HANDLE file) {
  DeletionForm form = DeletionForm::classic;
  return markForDeletion(file, form);
}

// Deletes the file open as file through a new handle on it, for handles
// that hold no right to delete themselves.
bool deleteThroughNew(HANDLE file) {
  const UniqueFileHandle deleter = reopen(file, DELETE | SYNCHRONIZE, kShareAll);
  return deleter && deleteThrough(deleter.get());
}

// Hands the file from file to a new handle with access and sharing, never
// letting go of the object: bridge, which holds only attributes, takes it
// over first, since the new handle's sharing must admit every handle open
// at the moment it is made, the old one too. When the last step fails,
// bridge still holds the file.
UniqueFileHandle handOver(UniqueFileHandle& file, UniqueFileHandle& bridge, DWORD access, DWORD sharing) {
  bridge = reopen(file.get(), kNoSharedRights, kShareAll);
  if (!bridge) return UniqueFileHandle();
  file.reset();
  return reopen(bridge.get(), access, sharing);
}

}  // namespace

UniqueFileHandle writeHeldFile(const std::wstring& path, std::string_view content) {
  // Deletion is ours from the start, so a failed file goes through its handle too.
  UniqueFileHandle writer(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!writer) return UniqueFileHandle();
  if (!writeThrough(writer.get(), content)) {
    deleteThrough(writer.get());
    return UniqueFileHandle();
  }
  // No writer may stay open while the file is started: CreateProcessW opens
  // the image without sharing writes. Our own access is reading alone, no
  // deletion either: a program that reads its own file (a bundle reading
  // its attached payload) seldom shares deletion. Between the bridge and
  // the hold another process could open the file; one that still has it
  // open makes the hold fail, and what one could change before is what the
  // caller's check then reads.
  UniqueFileHandle bridge;
  UniqueFileHandle held = handOver(writer, bridge, GENERIC_READ, FILE_SHARE_READ);
  if (!held) {
    if (writer) deleteThrough(writer.get());
    if (bridge) deleteThroughNew(bridge.get());
    return UniqueFileHandle();
  }
  return held;
}

bool deleteHeldFile(UniqueFileHandle& file) {
  if (!file) return false;
  // Our hold does not share deletion, so the deleting handle can only be
  // had once the hold has handed the object over.
  UniqueFileHandle bridge;
  const UniqueFileHandle deleter = handOver(file, bridge, DELETE | SYNCHRONIZE, kShareAll);
  file.reset();
  return deleter && deleteThrough(deleter.get());
}

}  // namespace tenvik
