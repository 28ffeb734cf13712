#pragma once
// A file the run makes, checks and runs as one file object from its creation
// to its deletion: nobody can swap its bytes or its name between the write,
// the check and the start, and no file that stood at the name before is ever
// the one used.

#include <windows.h>

#include <string>
#include <string_view>

#include "system/unique_handle.h"

namespace tenvik {

// Creates the file at path, which must not exist yet (CREATE_NEW), writes
// content through the creating handle in pieces, and then holds it for
// reading, sharing reading only: while the handle lives no other process can
// open the file for writing or deletion, nor rename or replace it, while
// readers (CreateProcessW among them, and the started program reading its own
// file) are let in. Every step after the creation goes through that handle.
// Empty handle when the file could not be created, a write failed or the hold
// could not be had; a file this call created is then deleted through its
// handle, and nothing else is touched.
UniqueFileHandle writeHeldFile(const std::wstring& path, std::string_view content);

// Deletes the held file through handles on the same file object, never by
// name. True when it is gone; false when another reader still holds it
// without sharing deletion, and it stays behind. file is empty afterwards
// either way.
bool deleteHeldFile(UniqueFileHandle& file);

}  // namespace tenvik
