#pragma once
// Folders that only SYSTEM and the Administrators group may change, for an
// elevated run to unpack into and to run the runtime installer from. Their
// descriptor grants those two full control, is protected (nothing inherited
// from above), and is inherited by everything created inside. Every check is
// made through the handle the action then goes through, never by the path
// again. None of these functions throws or shows anything.

#include <windows.h>

#include <string>

#include "system/unique_handle.h"

namespace tenvik {

struct ProductFolder {
  // Held for the run: reading attributes only, sharing reading and writing
  // but not deletion, so the folder cannot be renamed or removed meanwhile
  // and nobody who opens it to read or to work in it is turned away.
  // Empty when the folder could not be made ours.
  UniqueFileHandle handle;
  bool createdNow = false;  // this call made it (anew)
};

// Makes path (ProgramData\<word>; its parent must exist) a folder of ours and
// holds it. Opened once without following a link, it is judged through that
// handle (attributes, owner, DACL: see folder_trust.h). Ours: used as it
// stands, or given our descriptor through the handle when it lacks only
// that. Not ours (another owner, a DACL that lets others change it, a link,
// a file): moved aside through the same handle to "<word>.<16 hex digits>"
// beside it, where it keeps what it holds, and a new folder is made with the
// protected descriptor from its creation. Empty handle, with nothing written,
// when it cannot be moved (someone holds it without sharing deletion, or the
// handle turned out to stand for something other than the path).
ProductFolder prepareProductFolder(const std::wstring& path);

// Makes path (inside a folder prepared as above) anew as a protected folder
// and holds it as ProductFolder::handle is held, from its creation on. A
// stale folder of an earlier run at path is removed first. Empty handle when
// path could not be made anew.
UniqueFileHandle makeFreshHeldFolder(const std::wstring& path);

// Whether the object open as handle is still at path: its final path, as the
// platform reports it now, names path. False when it cannot be asked.
bool isStillAt(HANDLE handle, const std::wstring& path);

// Lets go of folder and removes path with everything in it (removeDirectory).
// The handle goes first: while it is held the folder itself cannot be
// deleted. True when path is gone; folder is empty afterwards either way.
bool removeHeldFolder(UniqueFileHandle& folder, const std::wstring& path);

}  // namespace tenvik
