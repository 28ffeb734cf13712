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
  // The folder the run works in: the path asked for, or the run's own.
  std::wstring path;
  bool createdNow = false;  // this call made it (anew)
  // A fresh folder beside the path asked for, made because what stands at
  // that path could not be moved aside; nobody else ever uses it, so the
  // run removes it at its end.
  bool runOwn = false;
};

// Makes path (ProgramData\<word>; its parent must exist) a folder of ours and
// holds it. Opened once without following a link, it is judged through that
// handle (attributes, owner, DACL: see folder_trust.h). Ours: used as it
// stands, or given our descriptor through the handle when it lacks only
// that. Not ours (another owner, a DACL that lets others change it, a link,
// a file): moved aside through the same handle to "<word>.<16 hex digits>"
// beside it, where it keeps what it holds, and a new folder is made with the
// protected descriptor from its creation. When what stands there cannot be
// moved (someone holds it without sharing deletion, keeps putting it back,
// or the handle turned out to stand for something other than the path), the
// run goes on in a folder of its own, "<word>.<16 hex digits>" beside it,
// made with the protected descriptor and held in the same call, so nobody
// can have prepared it (runOwn). Empty handle, with nothing written, when
// not even that folder can be made.
ProductFolder prepareProductFolder(const std::wstring& path);

// Makes path (inside a folder prepared as above) anew as a protected folder
// and holds it as ProductFolder::handle is held, from its creation on. A
// stale folder of an earlier run at path is removed first. Empty handle when
// path could not be made anew.
UniqueFileHandle makeFreshHeldFolder(const std::wstring& path);

// Whether the object open as handle is still at path: its final path, as the
// platform reports it now, names path. False when it cannot be asked.
bool isStillAt(HANDLE handle, const std::wstring& path);

// Removes the folder held as folder (see makeFreshHeldFolder), which stands
// at path, with everything in it, through the held object and never by
// path: a handle with the rights of removal is opened on it through the
// hold (waiting, as removeDirectory does, while a process that just ended
// still has it open as its current directory), the hold is let go, and the
// tree is removed through that handle (removeDirectoryByHandle). The hold
// itself has no right that takes part in sharing, since a hold with the
// right to delete would turn away every process that opens the folder
// without sharing deletion, the start of a child whose current directory it
// is among them. True when path is gone; folder is empty afterwards either
// way.
bool removeHeldFolder(UniqueFileHandle& folder, const std::wstring& path);

}  // namespace tenvik
