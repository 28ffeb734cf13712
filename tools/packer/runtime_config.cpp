#include "runtime_config.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

#include "exit_codes.h"
#include "pack_error.h"

namespace tenvik::packer {
namespace {

using nlohmann::json;

constexpr std::string_view desktopName = "Microsoft.WindowsDesktop.App";
constexpr std::string_view baseName = "Microsoft.NETCore.App";

// The host compares framework names and policies without regard to case.
bool sameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

[[noreturn]] void refuse(const std::string& file, const std::string& why, int exitCode) {
  throw PackError("\"" + file + "\" " + why, exitCode);
}

// Line and column (from 1) of the byte before offset, where the parser
// stopped.
std::string positionOf(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  const std::size_t at = offset == 0 ? 0 : offset - 1;
  std::size_t line = 1, lineStart = 0;
  for (std::size_t i = 0; i < at; ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(at - lineStart + 1);
}

std::optional<RollForward> policyOf(const json& value) {
  if (value.is_string()) {
    const std::string& word = value.get_ref<const std::string&>();
    const std::pair<const char*, RollForward> names[] = {
        {"Disable", RollForward::disable}, {"LatestPatch", RollForward::latestPatch},
        {"Minor", RollForward::minor},     {"LatestMinor", RollForward::latestMinor},
        {"Major", RollForward::major},     {"LatestMajor", RollForward::latestMajor}};
    for (const auto& [name, policy] : names) {
      if (sameWord(word, name)) return policy;
    }
    return std::nullopt;
  }
  // rollForwardOnNoCandidateFx: 0 only patches, 1 minor versions, 2 majors.
  if (value.is_number_unsigned()) {
    switch (value.get<unsigned>()) {
      case 0: return RollForward::latestPatch;
      case 1: return RollForward::minor;
      case 2: return RollForward::major;
      default: return std::nullopt;
    }
  }
  return std::nullopt;
}

// The policy object sets, if any; throws for a value that cannot be read.
std::optional<RollForward> policyIn(const json& object, const std::string& file) {
  for (const char* key : {"rollForward", "rollForwardOnNoCandidateFx"}) {
    const auto found = object.find(key);
    if (found == object.end()) continue;
    const auto policy = policyOf(*found);
    if (!policy) refuse(file, std::string("has a ") + key + " of " + found->dump() + ", which the .NET host does not know",
                        exitBadRuntimeConfig);
    return policy;
  }
  return std::nullopt;
}

}  // namespace

std::string runtimeConfigName(std::string_view entry) {
  std::string name(entry);
  if (name.size() >= 4 && sameWord(std::string_view(name).substr(name.size() - 4), ".dll")) name.resize(name.size() - 4);
  return name + ".runtimeconfig.json";
}

AppRuntime readRuntimeConfig(std::string_view text, const std::string& file) {
  json document;
  try {
    document = json::parse(text.begin(), text.end());
  } catch (const json::parse_error& failure) {
    refuse(file, "is not valid JSON at " + positionOf(text, failure.byte), exitBadRuntimeConfig);
  }
  const auto options = document.is_object() ? document.find("runtimeOptions") : document.end();
  if (options == document.end() || !options->is_object()) {
    refuse(file, "has no runtimeOptions object", exitBadRuntimeConfig);
  }
  if (options->contains("includedFrameworks")) {
    refuse(file,
           "belongs to a self-contained application (includedFrameworks): it brings its own runtime, and "
           "dotnet.exe cannot start it; publish it framework-dependent (--self-contained false)",
           exitSelfContained);
  }
  std::vector<const json*> frameworks;
  if (const auto one = options->find("framework"); one != options->end()) frameworks.push_back(&*one);
  if (const auto many = options->find("frameworks"); many != options->end()) {
    if (!many->is_array()) refuse(file, "has a runtimeOptions.frameworks that is not an array", exitBadRuntimeConfig);
    for (const json& framework : *many) frameworks.push_back(&framework);
  }
  if (frameworks.empty()) refuse(file, "names no framework (runtimeOptions.framework or frameworks)", exitBadRuntimeConfig);

  const std::optional<RollForward> overall = policyIn(*options, file);
  const json* chosen = nullptr;
  bool desktop = false;
  for (const json* framework : frameworks) {
    const auto name = framework->is_object() ? framework->find("name") : framework->end();
    if (name == framework->end() || !name->is_string()) {
      refuse(file, "has a framework without a name", exitBadRuntimeConfig);
    }
    const std::string& word = name->get_ref<const std::string&>();
    if (sameWord(word, desktopName)) {
      chosen = framework;
      desktop = true;
    } else if (sameWord(word, baseName)) {
      if (!desktop) chosen = framework;
    } else {
      refuse(file,
             "needs the framework " + word + ", which the bootstrapper cannot install; it provides " +
                 std::string(desktopName) + " and " + std::string(baseName) + " only",
             exitUnknownFramework);
    }
  }
  AppRuntime app;
  app.framework = desktop ? RuntimeFramework::desktop : RuntimeFramework::base;
  const auto version = chosen->find("version");
  std::optional<RuntimeVersion> parsed;
  if (version != chosen->end() && version->is_string()) {
    app.versionText = version->get<std::string>();
    parsed = parseRuntimeVersion(app.versionText);
  }
  if (!parsed) {
    refuse(file, std::string("gives ") + frameworkName(app.framework) + " no version that can be read",
           exitBadRuntimeConfig);
  }
  app.version = *parsed;
  if (const auto own = policyIn(*chosen, file)) {
    app.rollForward = *own;
  } else if (overall) {
    app.rollForward = *overall;
  }
  return app;
}

RuntimeRule ruleForApp(const AppRuntime& app) {
  RuntimeRule rule;
  rule.framework = app.framework;
  rule.baseFallback = false;
  rule.major = app.version.numbers.front();
  // The lowest version is a release; a preview app gets the release it
  // previews, which the rule's text can express.
  RuntimeVersion lowest;
  for (std::size_t i = 0; i < 3; ++i) lowest.numbers.push_back(i < app.version.numbers.size() ? app.version.numbers[i] : 0);
  rule.lowest = lowest;
  return rule;
}

std::string ruleMismatch(const RuntimeRule& rule, const AppRuntime& app) {
  const std::string ruleText = "the runtime rule " + formatRuntimeRule(rule);
  const std::string appText = "the application needs " + std::string(frameworkName(app.framework)) + " " +
                              app.versionText + " with roll-forward " + rollForwardName(app.rollForward);
  if (app.framework == RuntimeFramework::desktop && rule.framework == RuntimeFramework::base) {
    return appText + ", but " + ruleText + " provides only " + frameworkName(RuntimeFramework::base) +
           "; use --runtime " + formatRuntimeRule(ruleForApp(app)) + " or --runtime from-app";
  }
  RuntimeVersion lowest;
  if (rule.lowest) {
    lowest = *rule.lowest;
  } else {
    lowest.numbers = {rule.major, 0, 0};
  }
  const unsigned long appMajor = app.version.numbers.front();
  const auto minorOf = [](const RuntimeVersion& v) { return v.numbers.size() > 1 ? v.numbers[1] : 0; };
  bool majorFits = rule.major == appMajor;
  bool minorFits = true;
  switch (app.rollForward) {
    case RollForward::disable:
    case RollForward::latestPatch:
      // The probe cannot keep a higher minor version out; the lowest one
      // at least must be the app's.
      minorFits = rule.major != appMajor || minorOf(lowest) == minorOf(app.version);
      break;
    case RollForward::minor:
    case RollForward::latestMinor:
      break;
    case RollForward::major:
    case RollForward::latestMajor:
      majorFits = rule.major >= appMajor;
      break;
  }
  const bool lowEnough = rule.major > appMajor || compareRuntimeVersions(lowest, app.version) >= 0;
  if (majorFits && minorFits && lowEnough) return {};
  std::string lowestText;
  for (const unsigned long number : lowest.numbers) lowestText += (lowestText.empty() ? "" : ".") + std::to_string(number);
  return appText + ", but " + ruleText + " accepts any " + std::to_string(rule.major) + ".x from " + lowestText +
         "; use --runtime " + formatRuntimeRule(ruleForApp(app)) + " or --runtime from-app";
}

bool baseFallbackRisk(const RuntimeRule& rule, const AppRuntime& app) {
  return app.framework == RuntimeFramework::desktop && rule.framework == RuntimeFramework::desktop && rule.baseFallback;
}

std::string hostDisagreement(const RuntimeRule& rule, const AppRuntime& app) {
  const std::string appText = "the application asks for " + std::string(frameworkName(app.framework)) + " " +
                              app.versionText + " with roll-forward " + rollForwardName(app.rollForward);
  if (app.rollForward == RollForward::disable) {
    return appText + ": the host runs it on exactly that version, but the image is met by any later " +
           std::to_string(rule.major) + ".x as well, and there the host refuses it";
  }
  const bool anyHigherMajor = app.rollForward == RollForward::major || app.rollForward == RollForward::latestMajor;
  if (anyHigherMajor && rule.major == app.version.numbers.front()) {
    return appText + ": the host also runs it on a higher major, but the image installs " +
           std::to_string(rule.major) + ".x on a machine that has only a higher one";
  }
  return {};
}

const char* rollForwardName(RollForward policy) {
  switch (policy) {
    case RollForward::disable: return "Disable";
    case RollForward::latestPatch: return "LatestPatch";
    case RollForward::minor: return "Minor";
    case RollForward::latestMinor: return "LatestMinor";
    case RollForward::major: return "Major";
    case RollForward::latestMajor: return "LatestMajor";
  }
  return "Minor";
}

}  // namespace tenvik::packer
