#pragma once
// The progress window: a small native window of standard controls (a
// heading, a line of detail, a progress bar and a Cancel button) in the
// system's message font, laid out for the DPI of its monitor. It lives on
// the run's thread, which creates it, and answers while that thread waits
// through it (RunProgress::wait): Tab, Esc, Enter on Cancel and the close box
// all work; Esc and the close box cancel as the button does. It is created
// only when a stage is shown and destroyed whenever it is hidden, so no
// window of ours stands unanswered while the run waits for the runtime
// installer or the application.
//
// comctl32 comes from the system directory (system/system_library.h), as
// the other DLLs that are not KnownDLLs do.

#include <memory>
#include <string>

#include "system/run_progress.h"

namespace tenvik {

// The window for a run of product (its caption is "<product> Setup");
// nothing is shown yet. Null when the common controls cannot be had: the run
// then shows nothing, as without the setting.
std::unique_ptr<RunProgress> makeProgressWindow(const std::wstring& product);

}  // namespace tenvik
