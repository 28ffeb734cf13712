// tenvik-pack list: what a Setup.exe or payload bitmap holds, and whether
// the bootstrapper would unpack all of it.

#include <iomanip>

#include "commands.h"
#include "exit_codes.h"
#include "json_writer.h"
#include "pack_error.h"
#include "payload_check.h"
#include "runtime_listing.h"

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

int exitCodeOf(const PayloadReport& report) {
  switch (report.verdict) {
    case PayloadVerdict::intact: return exitSuccess;
    case PayloadVerdict::damaged: return exitDamaged;
    case PayloadVerdict::unsafeName: return exitUnsafeName;
  }
  return exitDamaged;
}

void printText(const std::string& file, const LoadedPayload& loaded, const PayloadReport& report,
               std::ostream& out) {
  out << file << ": " << (loaded.fromProgram ? "Setup.exe (bitmap resource 102)" : "payload bitmap") << "\n";
  if (loaded.fromProgram) {
    if (loaded.version) {
      out << "version record: file version " << versionText(loaded.version->fileVersion) << ", product version "
          << versionText(loaded.version->productVersion) << "\n";
      for (const auto& [name, value] : loaded.version->strings) out << "  " << name << ": " << value << "\n";
    } else {
      out << "version record: none\n";
    }
    printRuntimeText(runtimeListing(loaded.dataResources), out);
  }
  out << "entries: " << report.entries.size() << "\n";
  for (std::size_t i = 0; i < report.entries.size(); ++i) {
    const ListedEntry& entry = report.entries[i];
    out << std::setw(12) << entry.size << "  " << entry.name;
    if (i == 0 && report.launchTarget) out << "  (launched)";
    if (!entry.safe) out << "  (refused by extraction)";
    out << "\n";
  }
  out << "launched: " << (report.launchTarget ? *report.launchTarget : "nothing") << "\n";
  out << "size: " << report.uncompressedSize << " bytes uncompressed, " << report.compressedSize
      << " bytes compressed, in a resource of " << report.resourceSize << " bytes\n";
  if (report.intact()) {
    out << "intact: yes (the gzip trailer checks out, the archive ends exactly after its last entry, "
           "and extraction accepts every name)\n";
  } else {
    out << "intact: NO: " << report.message << "\n";
  }
}

void printJson(const std::string& file, const LoadedPayload& loaded, const PayloadReport& report,
               std::ostream& out) {
  JsonWriter json(out);
  json.beginObject();
  json.key("file");
  json.string(file);
  json.key("kind");
  json.string(loaded.fromProgram ? "setup" : "bitmap");
  json.key("entries");
  json.beginArray();
  for (const ListedEntry& entry : report.entries) {
    json.beginObject();
    json.key("name");
    json.string(entry.name);
    json.key("size");
    json.number(entry.size);
    json.key("safe");
    json.boolean(entry.safe);
    json.endObject();
  }
  json.endArray();
  json.key("entryCount");
  json.number(report.entries.size());
  json.key("launchTarget");
  if (report.launchTarget) {
    json.string(*report.launchTarget);
  } else {
    json.null();
  }
  json.key("compressedSize");
  json.number(report.compressedSize);
  json.key("uncompressedSize");
  json.number(report.uncompressedSize);
  json.key("resourceSize");
  json.number(report.resourceSize);
  json.key("intact");
  json.boolean(report.intact());
  if (!report.intact()) {
    json.key("message");
    json.string(report.message);
  }
  if (loaded.fromProgram) {
    json.key("version");
    if (loaded.version) {
      json.beginObject();
      json.key("fileVersion");
      json.string(versionText(loaded.version->fileVersion));
      json.key("productVersion");
      json.string(versionText(loaded.version->productVersion));
      json.key("strings");
      json.beginObject();
      for (const auto& [name, value] : loaded.version->strings) {
        json.key(name);
        json.string(value);
      }
      json.endObject();
      json.endObject();
    } else {
      json.null();
    }
    const RuntimeListing runtime = runtimeListing(loaded.dataResources);
    json.key("runtime");
    writeRuntimeJson(runtime, json);
    writeSettingsJson(runtime, json);
  }
  json.endObject();
  out << "\n";
}

// For a file that holds no readable payload at all, --json still prints one
// object, so a script reads the verdict the same way every time.
void printJsonFailure(const std::string& file, const std::string& message, std::ostream& out) {
  JsonWriter json(out);
  json.beginObject();
  json.key("file");
  json.string(file);
  json.key("entries");
  json.beginArray();
  json.endArray();
  json.key("launchTarget");
  json.null();
  json.key("intact");
  json.boolean(false);
  json.key("message");
  json.string(message);
  json.endObject();
  out << "\n";
}

}  // namespace

int runList(const std::vector<std::string>& arguments, Console& console) {
  const auto parsed = parseArguments(arguments, {}, {"--json"}, console.err);
  if (!parsed) return usageError(console, "", listUsage);
  if (parsed->positional.size() != 1) return usageError(console, "list needs exactly one file", listUsage);
  const std::string file = parsed->positional.front();
  const bool json = parsed->flags.count("--json") != 0;

  LoadedPayload loaded;
  try {
    loaded = loadPayload(fs::u8path(file));
  } catch (const PackError& failure) {
    if (json) printJsonFailure(file, failure.what(), console.out);
    throw;
  }
  PayloadReport report;
  if (!loaded.problem.empty()) {
    report.verdict = PayloadVerdict::damaged;
    report.message = loaded.problem;
  } else {
    report = checkPayloadResource(loaded.resource);
  }
  if (json) {
    printJson(file, loaded, report, console.out);
  } else {
    printText(file, loaded, report, console.out);
  }
  if (!report.intact()) console.err << "tenvik-pack: \"" << file << "\" is not intact: " << report.message << "\n";
  return exitCodeOf(report);
}

}  // namespace tenvik::packer
