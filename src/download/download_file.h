#pragma once
#include <string>

namespace tenvik {

// Fetches url with one HTTP GET through the current user's proxy settings and
// returns the whole body, or an empty string when the download failed.
std::string downloadFile(const std::wstring& url);

}  // namespace tenvik
