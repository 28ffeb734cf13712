#include "pe_image.h"

#include <algorithm>

#include "byte_order.h"
#include "pack_error.h"

namespace tenvik::packer {
namespace {

constexpr std::uint16_t machineI386 = 0x014C;
constexpr std::uint16_t magicPe32 = 0x010B;
constexpr std::size_t sectionHeaderSize = 40;
constexpr std::size_t directoriesOffset = 96;  // within the PE32 optional header
constexpr std::uint32_t scnInitializedData = 0x00000040;
constexpr std::uint32_t scnDiscardable = 0x02000000;

[[noreturn]] void notPe(const std::string& why) { throw PackError(why, exitNotPe); }

std::uint32_t sectionSpan(const PeSection& section) {
  return std::max(section.virtualSize, section.rawSize);
}

// Where the headers end: every section's data lies behind this, so the
// fields a rewrite changes are always in the part of the file it copies.
std::uint64_t headersEnd(const PeImage& image) {
  return image.sectionTable + std::uint64_t{sectionHeaderSize} * image.sections.size();
}

// A 32-bit field of the rewritten headers; an offset outside them means the
// headers lied about their own layout.
void writeField(std::string& out, std::uint64_t offset, std::uint32_t value) {
  if (!fits(offset, 4, out.size())) notPe("its headers point outside the file");
  write32(out, static_cast<std::size_t>(offset), value);
}

}  // namespace

PeImage parsePeImage(std::string bytes) {
  PeImage image;
  image.bytes = std::move(bytes);
  const std::string_view file = image.bytes;
  if (file.size() < 64 || file.substr(0, 2) != "MZ") notPe("it is not a Windows program (no MZ header)");
  const std::uint32_t peOffset = read32(file, 60);
  if (!fits(peOffset, 24, file.size()) || file.substr(peOffset, 4) != std::string_view("PE\0\0", 4)) {
    notPe("it is not a Windows program (no PE header)");
  }
  const std::size_t fileHeader = peOffset + 4;
  if (read16(file, fileHeader) != machineI386) notPe("it is a PE image, but not for 32-bit x86");
  const std::uint16_t sectionCount = read16(file, fileHeader + 2);
  const std::uint16_t optionalSize = read16(file, fileHeader + 16);
  image.optionalHeader = fileHeader + 20;
  if (optionalSize < directoriesOffset || !fits(image.optionalHeader, optionalSize, file.size())) {
    notPe("its PE optional header is cut short");
  }
  if (read16(file, image.optionalHeader) != magicPe32) notPe("it is a PE image, but not a PE32 one");
  image.sectionAlignment = read32(file, image.optionalHeader + 32);
  image.fileAlignment = read32(file, image.optionalHeader + 36);
  if (image.fileAlignment == 0 || image.sectionAlignment < image.fileAlignment) {
    notPe("its PE header declares impossible alignments");
  }
  const std::uint32_t directoryCount = read32(file, image.optionalHeader + 92);
  if (directoryCount > (optionalSize - directoriesOffset) / 8) notPe("its data directories do not fit its header");
  for (std::uint32_t i = 0; i < directoryCount; ++i) {
    const std::size_t at = image.optionalHeader + directoriesOffset + 8 * i;
    image.directories.push_back({read32(file, at), read32(file, at + 4)});
  }
  image.sectionTable = image.optionalHeader + optionalSize;
  if (!fits(image.sectionTable, sectionHeaderSize * sectionCount, file.size())) {
    notPe("its section table is cut short");
  }
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    const std::size_t at = image.sectionTable + sectionHeaderSize * i;
    PeSection section;
    const std::string_view name = file.substr(at, 8);
    section.name = std::string(name.substr(0, std::min(name.find('\0'), name.size())));
    section.virtualSize = read32(file, at + 8);
    section.virtualAddress = read32(file, at + 12);
    section.rawSize = read32(file, at + 16);
    section.rawOffset = read32(file, at + 20);
    section.characteristics = read32(file, at + 36);
    if (section.rawSize != 0 && !fits(section.rawOffset, section.rawSize, file.size())) {
      notPe("its section " + section.name + " lies beyond the end of the file");
    }
    image.sections.push_back(section);
  }
  for (const PeSection& section : image.sections) {
    if (section.rawSize != 0 && section.rawOffset < headersEnd(image)) {
      notPe("its section " + section.name + " overlaps its headers");
    }
  }
  return image;
}

int resourceSectionIndex(const PeImage& image) {
  if (image.directories.size() <= resourceDirectory || image.directories[resourceDirectory].address == 0) {
    return -1;
  }
  const std::uint32_t rva = image.directories[resourceDirectory].address;
  for (std::size_t i = 0; i < image.sections.size(); ++i) {
    if (image.sections[i].virtualAddress != rva) continue;
    if (image.sections[i].rawSize == 0) notPe("its resource section holds no data in the file");
    return static_cast<int>(i);
  }
  throw PackError("its resources do not begin a section of their own", exitNotPe);
}

std::uint32_t peChecksum(std::string_view file, std::size_t checksumOffset) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < file.size(); i += 2) {
    if (i == checksumOffset || i == checksumOffset + 2) continue;
    std::uint32_t word = static_cast<unsigned char>(file[i]);
    if (i + 1 < file.size()) word |= static_cast<std::uint32_t>(static_cast<unsigned char>(file[i + 1])) << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + file.size());
}

RewriteResult replaceSection(const PeImage& image, int index, std::string_view content) {
  const PeSection& target = image.sections.at(static_cast<std::size_t>(index));
  const std::string_view file = image.bytes;
  RewriteResult result;
  // The rewrite keeps the file up to the section and changes header fields
  // in that part: the section must lie behind the headers, inside the file.
  if (target.rawSize == 0 || target.rawOffset < headersEnd(image) ||
      !fits(target.rawOffset, target.rawSize, file.size())) {
    notPe("its resource section does not lie behind its headers in the file");
  }

  // Sections behind the resources move with its new size. The linker puts
  // the base relocations there; code never addresses them, only the
  // directory does, so moving them is safe. Anything else might be.
  std::vector<std::size_t> behind;
  for (std::size_t i = 0; i < image.sections.size(); ++i) {
    const PeSection& section = image.sections[i];
    // The rewrite keeps what lies before the resources in the file and
    // moves what lies behind them: data shared with them would be cut.
    if (i != static_cast<std::size_t>(index) && section.rawSize != 0 &&
        section.rawOffset < target.rawOffset + target.rawSize && target.rawOffset < section.rawOffset + section.rawSize) {
      notPe("its section " + section.name + " overlaps the resources in the file");
    }
    if (section.virtualAddress <= target.virtualAddress) {
      if (section.rawSize != 0 && section.rawOffset > target.rawOffset) {
        notPe("its section " + section.name + " lies behind the resources in the file but before them in memory");
      }
      continue;
    }
    if (section.name != ".reloc" && !(section.characteristics & scnDiscardable)) {
      notPe("its section " + section.name + " follows the resources and cannot be moved");
    }
    if (section.rawSize != 0 && section.rawOffset < target.rawOffset) {
      notPe("its section " + section.name + " lies before the resources in the file but behind them in memory");
    }
    behind.push_back(i);
  }
  std::sort(behind.begin(), behind.end(), [&](std::size_t a, std::size_t b) {
    return image.sections[a].virtualAddress < image.sections[b].virtualAddress;
  });

  if (content.size() > 0x7FFFFFFF) throw PackError("the new resources are too large for a PE image", exitFailure);
  const auto newVirtualSize = static_cast<std::uint32_t>(content.size());
  const std::uint64_t alignedSize = std::uint64_t{newVirtualSize} + image.fileAlignment - 1;
  if (target.rawOffset + alignedSize > 0xFFFFFFFF) throw PackError("the new resources are too large for a PE image");
  const std::uint32_t newRawSize = alignUp(newVirtualSize, image.fileAlignment);
  const std::uint32_t oldEndAddress = target.virtualAddress + alignUp(sectionSpan(target), image.sectionAlignment);
  const std::uint32_t newEndAddress = target.virtualAddress + alignUp(newVirtualSize, image.sectionAlignment);
  const std::uint32_t oldRawEnd = target.rawOffset + target.rawSize;
  const std::uint32_t newRawEnd = target.rawOffset + newRawSize;

  // Where the file's data ends: the last section, then anything appended
  // (an overlay) up to the certificate table, which is dropped.
  std::uint32_t dataEnd = oldRawEnd;
  for (const PeSection& section : image.sections) {
    if (section.rawSize != 0) dataEnd = std::max(dataEnd, section.rawOffset + section.rawSize);
  }
  std::uint32_t overlayEnd = static_cast<std::uint32_t>(file.size());
  if (image.directories.size() > certificateDirectory && image.directories[certificateDirectory].size != 0) {
    const PeDirectory& certificate = image.directories[certificateDirectory];
    if (certificate.address < dataEnd || !fits(certificate.address, certificate.size, file.size()) ||
        file.size() - (certificate.address + certificate.size) > 7) {
      notPe("its certificate table is not at the end of the file");
    }
    overlayEnd = certificate.address;
    result.certificateRemoved = true;
  }
  std::string_view overlay = file.substr(dataEnd, overlayEnd - dataEnd);
  // The signing tool pads the file to eight bytes before the table.
  if (result.certificateRemoved && overlay.size() < 8 && overlay.find_first_not_of('\0') == std::string_view::npos) {
    overlay = {};
  }

  std::string& out = result.bytes;
  out.assign(file.substr(0, target.rawOffset));
  out.append(content);
  out.resize(newRawEnd, '\0');
  std::vector<std::uint32_t> newOffsets;
  for (const std::size_t i : behind) {
    const PeSection& section = image.sections[i];
    if (section.rawSize == 0) {
      newOffsets.push_back(section.rawOffset);
      continue;
    }
    const std::uint64_t moved = std::uint64_t{section.rawOffset} - oldRawEnd + newRawEnd;
    if (moved + section.rawSize > 0xFFFFFFFF) throw PackError("the new resources are too large for a PE image");
    const auto offset = static_cast<std::uint32_t>(moved);
    if (out.size() < offset) out.resize(offset, '\0');
    out.append(file.substr(section.rawOffset, section.rawSize));
    newOffsets.push_back(offset);
  }
  out.append(overlay);

  const auto shiftAddress = [&](std::uint32_t rva) { return rva - oldEndAddress + newEndAddress; };
  const std::size_t targetHeader = image.sectionTable + 40 * static_cast<std::size_t>(index);
  writeField(out, targetHeader + 8, newVirtualSize);
  writeField(out, targetHeader + 16, newRawSize);
  std::uint32_t imageEnd = target.virtualAddress + alignUp(newVirtualSize, image.sectionAlignment);
  for (std::size_t k = 0; k < behind.size(); ++k) {
    const PeSection& section = image.sections[behind[k]];
    const std::size_t header = image.sectionTable + 40 * behind[k];
    const std::uint32_t address = shiftAddress(section.virtualAddress);
    writeField(out, header + 12, address);
    writeField(out, header + 20, newOffsets[k]);
    imageEnd = std::max(imageEnd, address + alignUp(sectionSpan(section), image.sectionAlignment));
  }
  for (const PeSection& section : image.sections) {
    if (section.virtualAddress < target.virtualAddress) {
      imageEnd = std::max(imageEnd, section.virtualAddress + alignUp(sectionSpan(section), image.sectionAlignment));
    }
  }
  for (std::size_t d = 0; d < image.directories.size(); ++d) {
    const std::size_t at = image.optionalHeader + directoriesOffset + 8 * d;
    const PeDirectory& directory = image.directories[d];
    if (d == certificateDirectory) {
      if (result.certificateRemoved) {
        writeField(out, at, 0);
        writeField(out, at + 4, 0);
      }
    } else if (d == resourceDirectory) {
      writeField(out, at + 4, newVirtualSize);
    } else if (directory.address >= oldEndAddress && directory.size != 0) {
      writeField(out, at, shiftAddress(directory.address));
    }
  }
  writeField(out, image.optionalHeader + 56, imageEnd);  // SizeOfImage
  if (target.characteristics & scnInitializedData) {
    const std::size_t at = image.optionalHeader + 8;  // SizeOfInitializedData
    writeField(out, at, read32(out, at) - target.rawSize + newRawSize);
  }
  writeField(out, checksumOffset(image), peChecksum(out, checksumOffset(image)));
  return result;
}

}  // namespace tenvik::packer
