#pragma once
#include <string>

namespace tenvik {

// Copies the compressed package out of the executable's payload resource
// (bitmap 102) into the file packagePath. Writes nothing when the resource is
// missing or its length field points past the end of the resource.
void writePayload(const std::wstring& packagePath);

}  // namespace tenvik
