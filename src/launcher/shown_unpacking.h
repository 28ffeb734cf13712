#pragma once
// Unpacking while the progress window is up: the package is written out and
// extracted on a thread of its own, so that the run's thread, which owns the
// window, keeps it answering and shows the bytes.

#include <functional>
#include <string>

#include "package/extract_package.h"
#include "system/run_progress.h"

namespace tenvik {

// What unpacks: given the report to hand each entry's count to, returns the
// launch target, or empty when there is none to start.
using Unpacking = std::function<std::wstring(const UnpackReport& report)>;

// Runs unpack on a new thread and waits for it through progress, which is
// shown the package's bytes read so far (and shows them once unpacking has
// taken half a second). A cancel stops the extraction after the entry in
// hand; the result is then empty. Returns only once the thread has ended,
// with the window hidden. Without a thread, unpack runs here, unseen.
std::wstring unpackWhileShown(const Unpacking& unpack, RunProgress& progress);

}  // namespace tenvik
