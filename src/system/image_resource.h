#pragma once
// Resources of the program's own image, read in place.

#include <windows.h>

#include <optional>
#include <string_view>

namespace tenvik {

// The bytes of resource id of type in the running program's image, or nothing
// when the image has no such resource (or the platform cannot load it). The
// view points into the mapped image and stays valid for the life of the
// process; nothing is copied, and nothing is to be freed. A resource of no
// bytes is an empty view.
std::optional<std::string_view> imageResource(const wchar_t* type, unsigned id);

}  // namespace tenvik
