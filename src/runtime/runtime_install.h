#pragma once
#include <string>
#include <string_view>

#include "runtime/install_settings.h"
#include "runtime/runtime_rule.h"

namespace tenvik {

class RunProgress;

// Every installation below writes the installer into a folder of its own,
// made anew inside productFolder: the product folder as prepareProductFolder
// (system/protected_folder.h) made it, held by the caller for the whole
// call, so that nobody but administrators can write beside the installer or
// swap it. An empty productFolder installs nothing. Where a call takes an
// environment, it is the installer's whole environment (a block as
// environmentBlock makes it); the calls without one, and an empty one, give
// the installer this process's own.

// Every call below takes the image's install settings: where installers are
// downloaded from, whose signature they must carry, and the bounds of the
// download and of the wait for the installer.

// Makes sure a .NET 6 runtime is installed for 64-bit (x64) or 32-bit (x86)
// Windows: the Windows Desktop runtime first, the base runtime as fallback,
// each downloaded and installed when the registry does not show it. silent
// picks the installer switches. True when a runtime shows up at the end.
bool ensureRuntimeX64(const InstallSettings& settings, bool silent, const std::wstring& productFolder);
bool ensureRuntimeX86(const InstallSettings& settings, bool silent, const std::wstring& productFolder);

// Makes sure a runtime that meets rule is installed for 64-bit (x64) or
// 32-bit (x86) Windows, one step of ruleSteps after the other: a step none of
// whose framework keys shows a version the rule counts has its framework
// installed, and is probed again; that second probe alone decides. The
// installer is the one the image carries for the framework and architecture
// when there is one, and then no request is made; else it is downloaded from
// the settings' download source. True as soon as a step is met. For the
// standard rule, with nothing bundled, this is ensureRuntimeX64/X86.
bool ensureRuntimeForRule(const RuntimeRule& rule, const InstallSettings& settings, bool x64, bool silent,
                          const std::wstring& productFolder);
// The same, with each download shown through progress. A cancel during a
// download ends the check at once, false, with nothing written or run and
// no further step tried.
bool ensureRuntimeForRule(const RuntimeRule& rule, const InstallSettings& settings, bool x64, bool silent,
                          const std::wstring& productFolder, const std::wstring& environment, RunProgress& progress);

// One step of the above: probe frameworkKey, install from installerUrl when
// missing, and probe again. The second probe alone decides.
bool ensureRuntime(const std::wstring& frameworkKey, const std::wstring& installerUrl,
                   const InstallSettings& settings, bool silent, const std::wstring& productFolder);

// Downloads the installer at installerUrl (within the settings' download
// limit) and installs it as installRuntimeFrom does.
void installRuntime(const std::wstring& installerUrl, const std::wstring& arguments,
                    const InstallSettings& settings, const std::wstring& productFolder);
// The same, with the download shown through progress, which is hidden
// before the installer runs; after a cancel nothing is written or run.
void installRuntime(const std::wstring& installerUrl, const std::wstring& arguments,
                    const InstallSettings& settings, const std::wstring& productFolder,
                    const std::wstring& environment, RunProgress& progress);

// Installs from installer bytes (a download, or what the image carries):
// the folder productFolder\Runtime.tmp is made anew and held, the bytes are
// written to a new file "DotNET-Setup.exe" in it and that one file object is
// kept from its creation to its deletion: written through the creating
// handle, then held against changes, its signature checked (the settings'
// installer signer) through it, run with arguments and with the folder as
// working directory, waited for at most the settings' installer wait, and
// deleted through it. An empty download, a failed write or check runs
// nothing; the folder is removed at the end. An installer still running
// when the wait ends is left to finish (installer_run.h); its file and
// folder then stay until a later run removes them. The bytes are only read.
void installRuntimeFrom(std::string_view installer, const std::wstring& arguments, const InstallSettings& settings,
                        const std::wstring& productFolder, const std::wstring& environment = std::wstring());

}  // namespace tenvik
