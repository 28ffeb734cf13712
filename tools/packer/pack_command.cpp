// tenvik-pack pack: a folder or a payload bitmap in; a payload bitmap or a
// stamped Setup.exe out.

#include <string>

#include "bitmap_container.h"
#include "byte_order.h"
#include "commands.h"
#include "icon_file.h"
#include "output_file.h"
#include "pack_error.h"
#include "packer.h"
#include "payload_check.h"
#include "progress_line.h"
#include "runtime_stamp.h"
#include "settings/image_settings.h"
#include "setup_image.h"
#include "utf_text.h"

namespace fs = std::filesystem;

namespace tenvik::packer {
namespace {

// A path longer than this cannot be created on a Windows without long-path
// support (MAX_PATH, 260 units with the terminator).
constexpr std::size_t longestPath = 259;

void warnAboutLongPaths(const std::vector<std::string>& names, const std::string& productWord,
                        std::ostream& err) {
  const std::string prefix = "C:\\ProgramData\\" + productWord + "\\Setup.tmp\\";
  for (const std::string& name : names) {
    std::string path = prefix + name;
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    const std::size_t length = utf16Length(path);
    if (length > longestPath) {
      err << "tenvik-pack: warning: \"" << name << "\" unpacks to a path of " << length
          << " characters, more than " << longestPath
          << "; Windows without long-path support cannot write it: " << path << "\n";
    }
  }
}

// The bitmap file, checked as the bootstrapper would read it.
std::string checkedBitmapFile(const fs::path& file, PackSummary& summary) {
  const std::string bytes = readInputFile(file);
  std::string problem;
  const auto resource = bitmapResource(bytes, problem);
  const std::string what = "The payload bitmap \"" + file.u8string() + "\"";
  if (!resource) throw PackError(what + " cannot be used: " + problem, exitDamaged);
  const PayloadReport report = checkPayloadResource(*resource);
  if (!report.intact()) {
    throw PackError(what + (report.verdict == PayloadVerdict::damaged ? " is damaged: " : " cannot be used: ") +
                        report.message,
                    report.verdict == PayloadVerdict::damaged ? exitDamaged : exitUnsafeName);
  }
  summary.entries = report.entries.size();
  summary.archiveBytes = report.uncompressedSize;
  summary.payloadBytes = report.compressedSize;
  summary.side = read32(*resource, 4);  // the declared width
  for (const ListedEntry& entry : report.entries) summary.names.push_back(entry.name);
  return bytes;
}

struct PackRequest {
  std::string output;
  std::optional<std::string> stub, payload, entry, folder, icon;
  StampOptions stamp;  // icons filled in once the file is read
  std::optional<std::string> productWord;
};

// The request on the command line; nothing, with problem set to what to
// tell the user (empty when parseArguments already told), when it is malformed.
std::optional<PackRequest> packRequest(const std::vector<std::string>& arguments, std::ostream& err,
                                       std::string& problem) {
  const auto parsed = parseArguments(arguments,
                                     {"--entry", "--output", "--stub", "--payload", "--icon", "--product-name",
                                      "--company", "--file-version", "--product-word"},
                                     {}, err);
  if (!parsed) return std::nullopt;
  const auto option = [&](const char* name) -> std::optional<std::string> {
    const auto found = parsed->values.find(name);
    if (found == parsed->values.end()) return std::nullopt;
    return found->second;
  };
  const auto refuse = [&](const char* why) {
    problem = why;
    return std::nullopt;
  };
  PackRequest request;
  request.output = option("--output").value_or("");
  request.stub = option("--stub");
  request.payload = option("--payload");
  request.entry = option("--entry");
  request.icon = option("--icon");
  if (request.output.empty()) return refuse("--output is required");
  if (request.payload) {
    if (!request.stub) return refuse("--payload needs --stub: the bitmap is already a payload");
    if (request.entry || !parsed->positional.empty()) return refuse("--payload replaces --entry and the folder");
  } else if (!request.entry || request.entry->empty() || parsed->positional.size() != 1) {
    return refuse("--entry, --output and exactly one folder are required");
  } else {
    request.folder = parsed->positional.front();
  }
  VersionChanges& version = request.stamp.version;
  version.productName = option("--product-name");
  version.company = option("--company");
  if (const auto text = option("--file-version")) {
    version.fileVersion = parseVersionNumber(*text);
    if (!version.fileVersion) return refuse("--file-version needs four numbers from 0 to 65535, e.g. 2.1.0.0");
  }
  if (!request.stub && (request.icon || version.productName || version.company || version.fileVersion)) {
    return refuse("--icon, --product-name, --company and --file-version need --stub");
  }
  request.productWord = option("--product-word");
  if (request.productWord && !parseProductSetting(*request.productWord)) {
    return refuse("--product-word is 1 to 64 letters, digits, \".\", \"-\" and \"_\", starting with a letter or "
                  "digit, not ending with \".\", and no device name such as CON");
  }
  return request;
}

// The payload bitmap of folder, with a progress line on a terminal.
std::string bitmapOfFolder(const PackRequest& request, Console& console, PackSummary& summary) {
  // A Windows user may name the entry with backslashes; the archive always
  // uses "/".
  const std::string entryName = fs::u8path(*request.entry).lexically_normal().generic_u8string();
  ProgressLine progress(console.err, console.errIsTerminal);
  std::string member;
  try {
    member = packFolder(fs::u8path(*request.folder), entryName, &summary,
                        [&](const PackProgress& done) { progress.update(done); });
  } catch (...) {
    progress.finish();
    throw;
  }
  progress.finish();
  const auto side = containerSide(member.size());
  if (!side) throw PackError("The compressed package is too large for a bitmap container");
  summary.payloadBytes = member.size();
  summary.side = *side;
  return bitmapFile(member);
}

}  // namespace

int runPack(const std::vector<std::string>& arguments, Console& console) {
  std::string problem;
  RuntimeOptions runtime;
  const auto rest = takeRuntimeOptions(arguments, runtime, problem);
  auto request = rest ? packRequest(*rest, console.err, problem) : std::nullopt;
  if (!request) return usageError(console, problem, packUsage);
  if (!request->stub && runtime.given()) {
    return usageError(console,
                      "--runtime, --runtime-installer, --installer-signer, --progress-window, --download and "
                      "--installer-wait need --stub",
                      packUsage);
  }
  runtime.product = request->productWord;
  StampOptions& stamp = request->stamp;
  if (request->icon) {
    const std::string iconBytes = readInputFile(fs::u8path(*request->icon));
    try {
      stamp.icons = parseIconFile(iconBytes);
    } catch (const PackError& failure) {
      throw PackError("\"" + *request->icon + "\": " + failure.what(), failure.exitCode);
    }
  }
  // A trial stamp with an empty payload finds whatever is wrong with the
  // stub before a large folder is packed.
  std::string stubBytes;
  const auto stampStub = [&](std::string_view resource) {
    try {
      return stampSetup(stubBytes, resource, stamp);
    } catch (const PackError& failure) {
      throw PackError("The stub \"" + *request->stub + "\" cannot be stamped: " + failure.what(),
                      failure.exitCode);
    }
  };
  if (request->stub) {
    stubBytes = readInputFile(fs::u8path(*request->stub));
    stampStub(std::string_view());
  }

  PackSummary summary;
  const std::string bitmap = request->payload ? checkedBitmapFile(fs::u8path(*request->payload), summary)
                                              : bitmapOfFolder(*request, console, summary);
  warnAboutLongPaths(summary.names,
                     productWordFor(runtime, request->stub ? std::optional<std::string>(stubBytes) : std::nullopt),
                     console.err);

  const fs::path output = fs::u8path(request->output);
  if (request->stub) {
    AppSource app{request->folder ? std::optional<fs::path>(fs::u8path(*request->folder)) : std::nullopt,
                  request->entry.value_or(""), std::nullopt};
    if (request->payload) app.payloadResource = std::string_view(bitmap).substr(bitmapFileHeaderSize);
    const RuntimeStamp chosen = runtimeStamp(runtime, stubBytes, app, console.err);
    stamp.dataResources = chosen.resources;
    console.out << "tenvik-pack: runtime rule " << chosen.rule << " (" << chosen.origin << ")\n";
    const StampResult stamped = stampStub(std::string_view(bitmap).substr(bitmapFileHeaderSize));
    if (stamped.certificateRemoved) {
      console.err << "tenvik-pack: warning: the stub \"" << *request->stub
                  << "\" was signed; its signature cannot cover the new payload and was removed: sign \""
                  << request->output << "\" again\n";
    }
    writeOutput(output, stamped.bytes);
  } else {
    writeOutput(output, bitmap);
  }
  console.out << "tenvik-pack: " << summary.entries << " entries, " << summary.archiveBytes
              << " bytes, compressed to " << summary.payloadBytes << " bytes in a " << summary.side << "x"
              << summary.side << " bitmap; " << (request->stub ? "Setup.exe" : "payload bitmap") << ": "
              << request->output << "\n";
  return exitSuccess;
}

}  // namespace tenvik::packer
