#pragma once
// Files and directories on the Windows API. Paths go to the platform as they
// are: no long-path prefix, no normalisation. None of these functions throws
// or shows anything; each reports by its result alone.

#include <string>
#include <string_view>

namespace tenvik {

// Creates path, or truncates an existing file, and writes content (bytes,
// zeros allowed) to it. Missing parent directories are created once on demand.
// The file is opened with share mode 0, so it fails while another process has
// it open. True only when every byte was written; a failed write leaves the
// file as far as it got.
bool writeFile(const std::wstring& path, std::string_view content);

// Creates path together with its missing ancestors. True only when this call
// created path itself: false for the empty path, for a directory that already
// exists, and for a failure at any level (levels made above it stay).
bool createDirectories(const std::wstring& path);

// Deletes path and everything below it, permanently and without any window
// or question. A junction or symbolic link, at path or anywhere below it, is
// removed as a link: what it points to is never touched. Read-only entries
// are removed too. While another process still holds an entry, retries start
// after a few milliseconds and give up after about five seconds in all; a
// failure that cannot pass by itself (nothing at path, a link Windows cannot
// remove) gives up at once. True only when path is gone.
bool removeDirectory(const std::wstring& path);

}  // namespace tenvik
