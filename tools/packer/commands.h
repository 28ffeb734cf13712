#pragma once
// The subcommands of tenvik-pack and what they share: the console, option
// parsing and reading the payload out of a Setup.exe or a bitmap file.

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "version_record.h"

namespace tenvik::packer {

struct Console {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;
};

struct ParsedArguments {
  std::map<std::string, std::string> values;
  std::set<std::string> flags;
  std::vector<std::string> positional;
};

// Splits arguments into the options of valueOptions (each followed by its
// value), the flags of flagOptions and positional arguments ("--" ends the
// options). Writes the reason to err and returns nothing for an unknown or
// repeated option or a missing value.
std::optional<ParsedArguments> parseArguments(const std::vector<std::string>& arguments,
                                              const std::set<std::string>& valueOptions,
                                              const std::set<std::string>& flagOptions, std::ostream& err);

// Writes "tenvik-pack: message" and usage to err; returns exitUsage.
int usageError(Console& console, const std::string& message, const char* usage);

struct LoadedPayload {
  bool fromProgram = false;  // a Setup.exe, not a bitmap file
  std::string resource;      // the payload resource, from its information header on
  std::optional<VersionSummary> version;
  std::map<std::uint32_t, std::string> dataResources;  // RT_RCDATA of a Setup.exe
  std::string problem;  // a bitmap whose headers are damaged: why (resource then empty)
};

// The payload of file, a Setup.exe or a payload bitmap. Throws PackError:
// exitFailure when file cannot be read, exitNotPe when it is neither kind
// (or a damaged PE image), exitNoPayload for a PE without bitmap 102.
LoadedPayload loadPayload(const std::filesystem::path& file);

int runPack(const std::vector<std::string>& arguments, Console& console);
int runList(const std::vector<std::string>& arguments, Console& console);
int runExtract(const std::vector<std::string>& arguments, Console& console);

extern const char* const packUsage;
extern const char* const listUsage;
extern const char* const extractUsage;

}  // namespace tenvik::packer
