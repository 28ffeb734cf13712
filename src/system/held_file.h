#pragma once
// A file kept from everyone else's writes and deletion while we check it and
// run it: nobody can swap its bytes between the check and the start.

#include <windows.h>

#include <string>

#include "system/unique_handle.h"

namespace tenvik {

// Opens the existing file at path for reading and for our own deletion,
// sharing reading only: while the handle lives, no other process can open the
// file for writing or deletion, nor rename it, and CreateProcessW can still
// start it. Fails (empty handle) when the file is missing or another process
// already holds it with write or delete access.
UniqueFileHandle holdFile(const std::wstring& path);

// Deletes the held file and closes the handle. The deletion goes through the
// handle itself, so it removes exactly the file that was checked; only when
// the platform refuses that is the handle closed first and the path deleted
// by name. True when the file is gone. file is empty afterwards either way.
bool deleteHeldFile(UniqueFileHandle& file, const std::wstring& path);

}  // namespace tenvik
