#pragma once
// A 32-bit x86 PE image as the packer needs it: the headers, the section
// table and the data directories, read from the file's bytes, and a rewrite
// that puts a new resource section in place of the old one.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tenvik::packer {

constexpr int resourceDirectory = 2;
constexpr int certificateDirectory = 4;

struct PeSection {
  std::string name;
  std::uint32_t virtualSize = 0;
  std::uint32_t virtualAddress = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawOffset = 0;
  std::uint32_t characteristics = 0;
};

struct PeDirectory {
  std::uint32_t address = 0;  // an RVA; a file offset for the certificate table
  std::uint32_t size = 0;
};

struct PeImage {
  std::string bytes;  // the whole file
  std::size_t optionalHeader = 0;  // file offset of the optional header
  std::size_t sectionTable = 0;    // file offset of the first section header
  std::uint32_t fileAlignment = 0;
  std::uint32_t sectionAlignment = 0;
  std::vector<PeSection> sections;
  std::vector<PeDirectory> directories;
};

// Reads the headers of bytes (taking the bytes over). Throws PackError with
// exitNotPe when bytes are not a PE32 image for i386, or when its headers or
// sections do not fit the file.
PeImage parsePeImage(std::string bytes);

// The index of the section that holds the resource directory, which must
// begin it; -1 when the image has no resources. Throws PackError (exitNotPe)
// when the directory sits anywhere but at a section's start.
int resourceSectionIndex(const PeImage& image);

struct RewriteResult {
  std::string bytes;
  bool certificateRemoved = false;
};

// The image with section index's contents replaced by content (whose RVAs
// must already assume the section's present address, which does not move).
// Fixes the section's sizes, the resource directory entry, the sections
// behind it (moved in the file and in memory, with every data directory that
// points into them), SizeOfImage, SizeOfInitializedData and the checksum.
// An Authenticode certificate table at the end of the file is dropped, since
// it no longer matches. Throws PackError (exitNotPe) when a section behind
// the resources holds anything but base relocations or discardable data,
// which code may address and which therefore cannot move.
RewriteResult replaceSection(const PeImage& image, int index, std::string_view content);

// The PE checksum of file, skipping the four bytes at checksumOffset.
std::uint32_t peChecksum(std::string_view file, std::size_t checksumOffset);

// File offset of the CheckSum field in image's optional header.
inline std::size_t checksumOffset(const PeImage& image) { return image.optionalHeader + 64; }

}  // namespace tenvik::packer
