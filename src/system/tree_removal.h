#pragma once
// The decisions of removing a directory tree: what to do with each entry
// found in it, and how long to wait before trying again while another process
// still holds something in the tree, and which form of delete to ask the
// platform for. Pure functions; the walk itself is in file_system.cpp.

#include <cstdint>
#include <optional>

namespace tenvik {

enum class RemovalStep {
  removeLink,  // a reparse point: remove the link itself, never what it points to
  descend,     // a plain directory: empty it, then remove it
  deleteFile,
  leave,  // the handle is not the link that was listed: nothing is done through it
};

// From the entry's file attributes as the directory listing reports them.
RemovalStep removalStepFor(std::uint32_t attributes);

// From what the listing said of an entry and what the handle opened on it,
// without following a link, says of itself. The handle decides, since it is
// what every later step goes through: a directory swapped for a file after
// the listing is deleted as the file it now is. A link either way is never
// descended; and a handle that does not report the link the listing showed
// is not the link (Wine opens a link's target even when told not to follow
// it, and a swap could do the same), so nothing is deleted through it.
RemovalStep removalStepFor(std::uint32_t listedAttributes, std::uint32_t openedAttributes);

// True when the attributes carry the read-only flag, which makes the delete
// of a file or a directory fail until it is cleared.
bool isReadOnly(std::uint32_t attributes);

// Whether a removal that failed with this Windows error code may succeed
// later without anything changing on our side: a sharing violation, an
// access refused while a delete is still pending, a directory that still
// holds an entry pending deletion.
bool removalMayClearUp(std::uint32_t errorCode);

// Whether opening a listed entry failed because it is no longer there:
// something else removed it between the listing and the open.
bool removalFoundNothing(std::uint32_t errorCode);

// How an entry is marked for deletion through its handle, strongest first.
// POSIX semantics take the name away at once, even while another process
// holds the entry with FILE_SHARE_DELETE, so that its directory can go right
// after it; the classic disposition leaves the name until the last handle
// closes. Windows 10 on NTFS knows the extended forms (ignoring the
// read-only flag since 1809); older Windows, other file systems and Wine 8
// know only the classic one.
enum class DeletionForm {
  posixIgnoringReadOnly,
  posix,
  classic,
};

// The form to try next after the platform refused form with errorCode, when
// the refusal says the form itself is not understood (an unknown class or
// flag, a file system without POSIX semantics). Empty when the refusal is
// about the entry (held, not empty, access denied) or no weaker form is left.
std::optional<DeletionForm> weakerDeletionForm(DeletionForm refused, std::uint32_t errorCode);

// The pause in milliseconds before retry number attempt (1 for the first),
// or 0 when no retry is left. Starts at 2 ms and grows by a quarter each
// time, up to a second, until the pauses add up to five seconds: a process
// that just exited (a console host keeping the folder as its current
// directory) lets go within tens of milliseconds, and a retry overshoots
// that moment by at most a quarter of the time waited so far. Each retry
// costs little, since the first pass has removed all it could.
std::uint32_t removalPauseMs(int attempt);

}  // namespace tenvik
