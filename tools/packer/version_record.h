#pragma once
// The version record (VS_VERSIONINFO) that Explorer shows as a program's
// details: a fixed block of version numbers and tables of named strings.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tenvik::packer {

using VersionNumber = std::array<std::uint16_t, 4>;

struct VersionChanges {
  std::optional<std::string> productName;  // UTF-8
  std::optional<std::string> company;
  std::optional<VersionNumber> fileVersion;  // file and product version alike
  std::optional<std::string> productVersionText;  // ProductVersion text alone, e.g. "2.1.0-beta"
  std::optional<std::string> copyright;           // LegalCopyright
  std::optional<std::string> description;         // FileDescription

  bool any() const {
    return productName || company || fileVersion || productVersionText || copyright || description;
  }
};

struct VersionSummary {
  VersionNumber fileVersion{};
  VersionNumber productVersion{};
  std::vector<std::pair<std::string, std::string>> strings;  // UTF-8, in record order
};

// "X.Y.Z.W" with each part 0 to 65535; nothing for any other text.
std::optional<VersionNumber> parseVersionNumber(std::string_view text);
std::string versionText(const VersionNumber& number);

// What record (the resource's bytes) says; nothing when it cannot be read.
std::optional<VersionSummary> readVersionRecord(std::string_view record);

// record with the changes made: the fixed block's file and product versions,
// and in every string table ProductName, CompanyName, FileVersion,
// ProductVersion, LegalCopyright and FileDescription (added where a table
// lacks them); everything else is kept.
// Throws PackError when record cannot be read.
std::string rewriteVersionRecord(std::string_view record, const VersionChanges& changes);

}  // namespace tenvik::packer
