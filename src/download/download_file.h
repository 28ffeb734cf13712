#pragma once
#include <cstdint>
#include <string>

namespace tenvik {

// Fetches url with one HTTP GET through the current user's proxy settings and
// returns the whole body, or an empty string when the download failed.
//
// The download runs on a download thread of the process (started with the
// first download and kept for the next) and is given limitMs in all
// (download/download_deadline.h): when that has passed, this call returns
// empty at once and the thread is abandoned. It then stops at its next
// chance (the next piece of body, or whenever WinHTTP returns) and touches
// nothing but its own shared state on the heap; the next download gets a new
// thread. Without a thread to run it on, the download fails. Called from one
// thread at a time.
std::string downloadFile(const std::wstring& url, uint32_t limitMs);

class RunProgress;

// The same, waited for through progress: while it shows, the bytes received
// (and the declared length, when there is one) are handed to it every
// tenth of a second, and a cancel abandons the download as the limit does,
// at once.
std::string downloadFile(const std::wstring& url, uint32_t limitMs, RunProgress& progress);

}  // namespace tenvik
