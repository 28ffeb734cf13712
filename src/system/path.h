#pragma once
// Path text for Windows paths held as wide strings. The backslash is the only
// separator either function knows; nothing is normalised and no length limit
// is imposed, so long paths pass through untouched.

#include <string>

namespace tenvik {

// left and right joined by exactly one backslash: none is added when left
// already ends in one. right is appended as it stands. An empty left gives
// right alone, so no separator is invented in front of a relative name.
std::wstring joinPath(const std::wstring& left, const std::wstring& right);

// Everything before the last backslash; empty when there is none. Always
// strictly shorter than path, so repeated calls end at the empty string.
std::wstring parentPath(const std::wstring& path);

}  // namespace tenvik
