#pragma once
// What a framework-dependent .NET application asks of the machine, read from
// its runtimeconfig.json, and the runtime rule that gives it that: derived
// for the image, or an explicit one checked against the application's
// roll-forward policy.

#include <string>
#include <string_view>

#include "runtime/runtime_rule.h"

namespace tenvik::packer {

// runtimeOptions.rollForward, as the .NET host reads it.
enum class RollForward { disable, latestPatch, minor, latestMinor, major, latestMajor };

struct AppRuntime {
  // desktop when Microsoft.WindowsDesktop.App is among the frameworks, else
  // base (Microsoft.NETCore.App alone).
  RuntimeFramework framework = RuntimeFramework::base;
  RuntimeVersion version;  // that framework's "version"
  std::string versionText;
  RollForward rollForward = RollForward::minor;  // the host's default
};

// The name of the runtimeconfig.json beside entry: "sub/App.dll" gives
// "sub/App.runtimeconfig.json" (the ".dll" taken off where present).
std::string runtimeConfigName(std::string_view entry);

// What text (the contents of the file named file, for messages) asks for.
// Reads runtimeOptions.framework or runtimeOptions.frameworks[] (each with
// "name" and "version") and rollForward from runtimeOptions or the
// framework entry, which wins; the older rollForwardOnNoCandidateFx (0, 1,
// 2) counts where rollForward is absent. Throws PackError with
// exitSelfContained (includedFrameworks), exitUnknownFramework (naming it),
// exitBadRuntimeConfig (not JSON, with line and column; no framework; a
// version or rollForward that cannot be read).
AppRuntime readRuntimeConfig(std::string_view text, const std::string& file);

// The rule an image for app carries: app's framework, the major of its
// version and that version (its first three numbers) as the lowest.
RuntimeRule ruleForApp(const AppRuntime& app);

// Empty when every runtime that rule accepts at run time starts app under
// its roll-forward policy; otherwise why not, in a sentence. Disable and
// LatestPatch need the rule's major and minor, Minor and LatestMinor its
// major, Major and LatestMajor that major or a higher one; each needs the
// rule's lowest version (its major.0.0 when it names none) at or above the
// app's. A base rule never provides the Desktop framework; a desktop+base
// rule is accepted for a Desktop app (see baseFallbackRisk).
std::string ruleMismatch(const RuntimeRule& rule, const AppRuntime& app);

// True when rule may start app on the base runtime alone although app
// needs the Desktop framework: a desktop+base rule for a Desktop app.
bool baseFallbackRisk(const RuntimeRule& rule, const AppRuntime& app);

// Where the host and an image whose rule fits app (no ruleMismatch) still
// decide differently, in a sentence; empty where they agree. A rule has no
// form for "exactly this version" (Disable: the image accepts later patches
// the host refuses) nor for "this major or a higher one" (Major and
// LatestMajor with the app's own major: the image installs that major where
// the host would run the app on a higher one).
std::string hostDisagreement(const RuntimeRule& rule, const AppRuntime& app);

const char* rollForwardName(RollForward policy);

}  // namespace tenvik::packer
