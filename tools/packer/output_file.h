#pragma once
// Whole files in and out. An output goes to a side file first and takes its
// name only when complete, so a failed run never leaves something that looks
// finished.

#include <filesystem>
#include <string>

namespace tenvik::packer {

// The bytes of path. Throws PackError (exitFailure) naming path when it
// cannot be read.
std::string readInputFile(const std::filesystem::path& path);

// Writes bytes to path + ".partial", then renames it to path (replacing any
// file there). Throws PackError when either step fails; the side file is
// then removed and path left as it was.
void writeOutput(const std::filesystem::path& path, const std::string& bytes);

}  // namespace tenvik::packer
