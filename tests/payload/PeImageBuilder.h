// A minimal 32-bit PE file for tests: MZ stub, PE signature, file header, an
// empty optional header area and a section table whose raw data are filled
// with a recognisable pattern. Enough for everything that reads section tables.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testing_pe {

struct Section {
  std::string name;
  std::uint32_t rawSize = 0x200;
};

inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

constexpr std::size_t kPeAt = 0x80;
constexpr std::size_t kOptionalHeaderSize = 0xE0;
constexpr std::size_t kSectionTableAt = kPeAt + 24 + kOptionalHeaderSize;
constexpr std::uint32_t kFirstRaw = 0x400;

// Sections' raw data follow each other from 0x400. The ".lvpoff" section, if
// any, starts with 0 like the installer's field before assembly.
inline std::vector<std::uint8_t> BuildImage(const std::vector<Section>& sections,
                                            std::uint16_t machine = 0x014C) {
  std::uint32_t end = kFirstRaw;
  for (const Section& s : sections) end += s.rawSize;
  std::vector<std::uint8_t> b(end);
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 31 + 7);
  std::memset(b.data(), 0, kFirstRaw);
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, kPeAt);
  std::memcpy(b.data() + kPeAt, "PE\0\0", 4);
  Put16(b, kPeAt + 4, machine);
  Put16(b, kPeAt + 6, static_cast<std::uint16_t>(sections.size()));
  Put16(b, kPeAt + 20, kOptionalHeaderSize);
  std::uint32_t raw = kFirstRaw;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const std::size_t h = kSectionTableAt + i * 40;
    std::memcpy(b.data() + h, sections[i].name.data(), std::min<std::size_t>(8, sections[i].name.size()));
    Put32(b, h + 8, sections[i].rawSize);
    Put32(b, h + 16, sections[i].rawSize);
    Put32(b, h + 20, sections[i].rawSize ? raw : 0);
    if (sections[i].name == ".lvpoff" && sections[i].rawSize >= 4) Put32(b, raw, 0);
    raw += sections[i].rawSize;
  }
  return b;
}

// The usual installer-like image: code, data, the field section, resources.
inline std::vector<std::uint8_t> InstallerLikeImage() {
  return BuildImage({{".text", 0x600}, {".data", 0x200}, {".lvpoff", 0x200}, {".rsrc", 0x400}});
}

constexpr std::size_t kInstallerLikeFieldAt = kFirstRaw + 0x600 + 0x200;

}  // namespace testing_pe
