#pragma once
// A file kept from everyone else's writes and deletion while we check it and
// run it: nobody can swap its bytes between the check and the start.

#include <windows.h>

#include <string>

#include "system/unique_handle.h"

namespace tenvik {

// Opens the existing file at path for reading, sharing reading only: while
// the handle lives, no other process can open the file for writing or
// deletion, nor rename or replace it, while readers (CreateProcessW among
// them, and the started program reading its own file) are let in. Fails
// (empty handle) when the file is missing or another process already holds it
// with write or delete access.
UniqueFileHandle holdFile(const std::wstring& path);

// Closes the held file and deletes it by name. True when the file is gone;
// false when it could not be deleted (another reader still holds it without
// sharing deletion), and it stays behind. file is empty afterwards either way.
bool deleteHeldFile(UniqueFileHandle& file, const std::wstring& path);

}  // namespace tenvik
