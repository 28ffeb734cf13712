#include "commands.h"

#include <exception>

#include "exit_codes.h"
#include "output_file.h"
#include "pack_error.h"
#include "packer.h"
#include "payload_check.h"
#include "setup_image.h"

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

const char* const helpText =
    R"(tenvik-pack: packs a published .NET application into the payload of Tenvik
Setup, stamps it into a finished Setup.exe, and looks inside either.

usage:
  tenvik-pack pack --entry ENTRY --output OUT [--stub STUB] [STAMP OPTIONS]
                   [--product-word WORD] FOLDER
  tenvik-pack pack --payload FILE.bmp --stub STUB --output OUT [STAMP OPTIONS]
  tenvik-pack list [--json] FILE
  tenvik-pack extract FILE DIR
  tenvik-pack --help

pack       Packs every file below FOLDER, ENTRY first (the file dotnet.exe is
           started on, relative to FOLDER), into one gzip member in a payload
           bitmap. Without --stub, OUT is that bitmap (for the CMake setting
           TENVIK_PAYLOAD). With --stub, OUT is a finished Setup.exe: a copy of
           STUB (a Setup.exe built by this project) whose bitmap resource 102
           holds the new payload, every other resource kept. A signed STUB
           loses its signature: sign OUT again. --payload stamps a payload
           bitmap made earlier instead of a folder; it is checked first.
           The older form "tenvik-pack --entry ENTRY --output OUT FOLDER"
           still works and means pack.
  --entry ENTRY         the application's main file, e.g. MyApp.dll
  --output OUT          the file to write (replaced only once complete)
  --stub STUB           a Setup.exe to copy; OUT becomes a Setup.exe
  --payload FILE.bmp    a payload bitmap to stamp, instead of FOLDER
  --product-word WORD   the product word: files unpack below
                        C:\ProgramData\WORD\Setup.tmp\ (checked for path
                        lengths); with --stub also stamped: it names that
                        folder, the run's lock and the window caption.
                        Default: as STUB (else Tenvik)
STAMP OPTIONS (with --stub only):
  --icon FILE.ico       replace the icon group with the images of FILE.ico
  --product-name NAME   the version record's ProductName
  --company NAME        the version record's CompanyName
  --file-version X.Y.Z.W
                        the file and product version numbers and the
                        FileVersion and ProductVersion texts
  --runtime RULE|from-app
                        the .NET runtime the image makes sure of: desktop:N,
                        base:N, desktop+base:N, or a lowest version such as
                        desktop:10.0.2. from-app (the default for a FOLDER)
                        reads ENTRY's .runtimeconfig.json; with --payload the
                        default keeps STUB's rule. The rule is checked against
                        the application's runtimeconfig.json and roll-forward.
  --runtime-installer [desktop|base:x64|x86=]FILE
                        bundle a runtime vendor's installer, used instead of a
                        download; which runtime and architecture it installs
                        is read from its version record unless named.
                        Repeatable, one per framework and architecture
  --installer-signer NAME
                        the common name every runtime installer, downloaded
                        or bundled, must be signed by (empty: no check);
                        default: as STUB
  --download vendor|URL
                        where the image downloads a missing runtime from:
                        vendor, the runtime vendor's own addresses, or the
                        base https://host[:port] of a server of your own;
                        default: as STUB
  --installer-wait SECONDS
                        the most the image waits for a runtime installer
                        (1 to 86400; it is then left running and the run
                        goes on as after a failed installation); default:
                        as STUB
  --progress-window on|off
                        whether the image shows its progress window (waiting
                        for another run, downloading a runtime, a long
                        unpacking; never in silent mode); default: as STUB

list       Shows what a Setup.exe or payload bitmap holds: every entry in
           order with its size, the entry that is launched, the compressed
           and uncompressed totals, whether the payload is intact (gzip
           trailer checks out, the archive ends exactly after an entry, every
           name is one extraction accepts), and for a Setup.exe its version
           record, runtime rule, bundled runtime installers and settings.
           --json prints one JSON object instead.

extract    Writes the entries of a Setup.exe or payload bitmap below DIR
           (created when missing), refusing the names the bootstrapper
           refuses. A damaged payload is not extracted at all.

examples:
  tenvik-pack pack --entry MyApp.dll --output payload.bmp publish/
  tenvik-pack pack --entry MyApp.dll --stub /usr/share/tenvik/Setup.exe \
      --icon myapp.ico --product-name "MyApp Setup" --company "My Company" \
      --file-version 2.1.0.0 --output MyAppSetup.exe publish/
  tenvik-pack pack --payload payload.bmp --stub Setup.exe --output MyAppSetup.exe
  tenvik-pack list MyAppSetup.exe
  tenvik-pack list --json payload.bmp
  tenvik-pack extract MyAppSetup.exe unpacked/

exit codes:
  0  done (list: the payload is intact)
  1  the folder cannot be packed (missing or unreadable, ENTRY not in it, a
     file name extraction would refuse), or a file cannot be read or written
  2  malformed command line
  3  not a 32-bit x86 PE image (list, extract: nor a payload bitmap)
  4  a PE image without bitmap resource 102
  5  the payload is damaged
  6  the payload holds a name extraction refuses
  7  the application has no runtimeconfig.json (from-app)
  8  a self-contained application, which dotnet.exe cannot start
  9  the application needs a framework other than Microsoft.NETCore.App and
     Microsoft.WindowsDesktop.App
 10  runtimeconfig.json is not valid JSON or names no usable framework
 11  the runtime rule cannot run the application under its roll-forward policy
 12  a bundled installer carries no signature that covers it
 13  a bundled installer is signed by someone other than the installer signer
 14  a bundled installer does not say which runtime it installs
)";

bool isSubcommand(const std::string& word) { return word == "pack" || word == "list" || word == "extract"; }

}  // namespace

const char* const packUsage =
    "usage: tenvik-pack pack --entry <relative path of the main .dll> --output <file.bmp|Setup.exe> "
    "[--stub <Setup.exe> [--runtime <rule>|from-app] [--runtime-installer <file>]...] <folder>\n"
    "       tenvik-pack pack --payload <file.bmp> --stub <Setup.exe> --output <Setup.exe>\n"
    "       (tenvik-pack --help tells more)";
const char* const listUsage = "usage: tenvik-pack list [--json] <Setup.exe|file.bmp>";
const char* const extractUsage = "usage: tenvik-pack extract <Setup.exe|file.bmp> <directory>";

std::optional<ParsedArguments> parseArguments(const std::vector<std::string>& arguments,
                                              const std::set<std::string>& valueOptions,
                                              const std::set<std::string>& flagOptions, std::ostream& err) {
  ParsedArguments parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      parsed.positional.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (valueOptions.count(argument)) {
      if (i + 1 == arguments.size()) {
        err << "tenvik-pack: " << argument << " needs a value\n";
        return std::nullopt;
      }
      if (!parsed.values.emplace(argument, arguments[++i]).second) {
        err << "tenvik-pack: " << argument << " is given twice\n";
        return std::nullopt;
      }
    } else if (flagOptions.count(argument)) {
      if (!parsed.flags.insert(argument).second) {
        err << "tenvik-pack: " << argument << " is given twice\n";
        return std::nullopt;
      }
    } else {
      err << "tenvik-pack: unknown option " << argument << "\n";
      return std::nullopt;
    }
  }
  return parsed;
}

int usageError(Console& console, const std::string& message, const char* usage) {
  if (!message.empty()) console.err << "tenvik-pack: " << message << "\n";
  console.err << usage << "\n";
  return exitUsage;
}

LoadedPayload loadPayload(const fs::path& file) {
  std::string bytes = readInputFile(file);
  LoadedPayload loaded;
  if (bytes.size() >= 2 && bytes.compare(0, 2, "MZ") == 0) {
    SetupContents contents;
    try {
      contents = readSetupImage(std::move(bytes));
    } catch (const PackError& failure) {
      throw PackError("\"" + file.u8string() + "\" cannot be read as a Setup.exe: " + failure.what(),
                      failure.exitCode);
    }
    loaded.fromProgram = true;
    loaded.resource = std::move(contents.payloadResource);
    loaded.version = std::move(contents.version);
    loaded.dataResources = std::move(contents.dataResources);
  } else if (bytes.size() >= 2 && bytes.compare(0, 2, "BM") == 0) {
    const auto resource = bitmapResource(bytes, loaded.problem);
    if (resource) loaded.resource = std::string(*resource);
  } else {
    throw PackError("\"" + file.u8string() + "\" is neither a Windows program nor a payload bitmap", exitNotPe);
  }
  return loaded;
}

int runPacker(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
              bool errIsTerminal) {
  Console console{out, err, errIsTerminal};
  const auto asksForHelp = [&](std::size_t at) {
    return arguments.size() > at && (arguments[at] == "--help" || arguments[at] == "-h");
  };
  if ((!arguments.empty() && arguments[0] == "help") || asksForHelp(0) ||
      (!arguments.empty() && isSubcommand(arguments[0]) && asksForHelp(1))) {
    out << helpText;
    return exitSuccess;
  }
  try {
    if (arguments.empty() || !isSubcommand(arguments[0])) return runPack(arguments, console);
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (arguments[0] == "pack") return runPack(rest, console);
    if (arguments[0] == "list") return runList(rest, console);
    return runExtract(rest, console);
  } catch (const PackError& failure) {
    err << "tenvik-pack: " << failure.what() << "\n";
    return failure.exitCode;
  } catch (const std::exception& failure) {
    err << "tenvik-pack: " << failure.what() << "\n";
    return exitFailure;
  }
}

}  // namespace tenvik::packer
