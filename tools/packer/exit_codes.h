#pragma once
// The exit codes of tenvik-pack, one list for every subcommand. Scripts act
// on them, so a number keeps its meaning once published.

namespace tenvik::packer {

constexpr int exitSuccess = 0;       // done; for list: the payload is intact
constexpr int exitFailure = 1;       // the folder cannot be packed, or a file cannot be read or written
constexpr int exitUsage = 2;         // malformed command line
constexpr int exitNotPe = 3;         // not a 32-bit x86 PE image (nor, for list and extract, a payload bitmap)
constexpr int exitNoPayload = 4;     // a PE image without bitmap resource 102
constexpr int exitDamaged = 5;       // the payload is damaged
constexpr int exitUnsafeName = 6;    // the payload holds a name extraction refuses

}  // namespace tenvik::packer
