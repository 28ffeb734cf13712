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
constexpr int exitNoRuntimeConfig = 7;     // the application has no runtimeconfig.json to derive the runtime from
constexpr int exitSelfContained = 8;       // a self-contained application, which dotnet.exe cannot start
constexpr int exitUnknownFramework = 9;    // the application names a framework the bootstrapper cannot provide
constexpr int exitBadRuntimeConfig = 10;   // runtimeconfig.json is not valid JSON or names no usable framework
constexpr int exitRuntimeMismatch = 11;    // the runtime rule asked for cannot run the application
constexpr int exitInstallerUnsigned = 12;  // a bundled installer without a signature that covers it
constexpr int exitInstallerSigner = 13;    // a bundled installer signed by someone other than the required signer
constexpr int exitInstallerUnknown = 14;   // a bundled installer whose framework or architecture is not known

}  // namespace tenvik::packer
