#pragma once
// The decisions of removing a directory tree: what to do with each entry
// found in it, and how long to wait before trying again while another process
// still holds something in the tree. Pure functions; the walk itself is in
// file_system.cpp.

#include <cstdint>

namespace tenvik {

enum class RemovalStep {
  removeLink,  // a reparse point: remove the link itself, never what it points to
  descend,     // a plain directory: empty it, then remove it
  deleteFile,
};

// From the entry's file attributes as the directory listing reports them.
RemovalStep removalStepFor(std::uint32_t attributes);

// True when the attributes carry the read-only flag, which makes the delete
// of a file or a directory fail until it is cleared.
bool isReadOnly(std::uint32_t attributes);

// Whether a removal that failed with this Windows error code may succeed
// later without anything changing on our side: a sharing violation, an
// access refused while a delete is still pending, a directory that still
// holds an entry pending deletion.
bool removalMayClearUp(std::uint32_t errorCode);

// The pause in milliseconds before retry number attempt (1 for the first),
// or 0 when no retry is left. Starts at 2 ms and grows by a quarter each
// time, up to a second, until the pauses add up to five seconds: a process
// that just exited (a console host keeping the folder as its current
// directory) lets go within tens of milliseconds, and a retry overshoots
// that moment by at most a quarter of the time waited so far. Each retry
// costs little, since the first pass has removed all it could.
std::uint32_t removalPauseMs(int attempt);

}  // namespace tenvik
