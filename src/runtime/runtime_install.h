#pragma once
#include <string>
#include <string_view>

#include "runtime/runtime_rule.h"

namespace tenvik {

class RunProgress;

// Makes sure a .NET 6 runtime is installed for 64-bit (x64) or 32-bit (x86)
// Windows: the Windows Desktop runtime first, the base runtime as fallback,
// each downloaded and installed when the registry does not show it. silent
// picks the installer switches. True when a runtime shows up at the end.
bool ensureRuntimeX64(bool silent);
bool ensureRuntimeX86(bool silent);

// Makes sure a runtime that meets rule is installed for 64-bit (x64) or
// 32-bit (x86) Windows, one step of ruleSteps after the other: a step none of
// whose framework keys shows a version the rule counts has its framework
// installed, and is probed again; that second probe alone decides. The
// installer is the one the image carries for the framework and architecture
// when there is one, and then no request is made; else it is downloaded from
// the build's download server. True as soon as a step is met. For the
// standard rule, with nothing bundled, this is ensureRuntimeX64/X86.
bool ensureRuntimeForRule(const RuntimeRule& rule, bool x64, bool silent);
// The same, with each download shown through progress. A cancel during a
// download ends the check at once, false, with nothing written or run and
// no further step tried.
bool ensureRuntimeForRule(const RuntimeRule& rule, bool x64, bool silent, RunProgress& progress);

// One step of the above: probe frameworkKey, install from installerUrl when
// missing, and probe again. The second probe alone decides.
bool ensureRuntime(const std::wstring& frameworkKey, const std::wstring& installerUrl, bool silent);

// Downloads the installer at installerUrl (within the build's download limit)
// into the temporary directory, holds the file against changes, checks that
// the build's installer signer signed it, runs it with arguments, waits for
// it and deletes it again. A failed download or check runs nothing; the file
// is deleted all the same.
void installRuntime(const std::wstring& installerUrl, const std::wstring& arguments);
// The same, with the download shown through progress, which is hidden
// before the installer runs; after a cancel nothing is written or run.
void installRuntime(const std::wstring& installerUrl, const std::wstring& arguments, RunProgress& progress);

// What installRuntime does after the download, for installer bytes that come
// from elsewhere (such as the image): written to the temporary directory in
// pieces, held, checked, run with arguments, waited for and deleted. The
// bytes are only read.
void installRuntimeFrom(std::string_view installer, const std::wstring& arguments);

}  // namespace tenvik
