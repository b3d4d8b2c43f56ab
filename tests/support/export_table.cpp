#include "export_table.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace kav::test {
namespace {

using File = std::vector<uint8_t>;

template <class T>
T Read(const File& file, uint64_t offset) {
  if (offset > file.size() || file.size() - offset < sizeof(T)) throw std::runtime_error("truncated library file");
  T value;
  std::memcpy(&value, file.data() + offset, sizeof(T));
  return value;
}

std::string ReadString(const File& file, uint64_t offset) {
  std::string out;
  while (offset < file.size() && file[offset] != 0) out.push_back(static_cast<char>(file[offset++]));
  return out;
}

std::set<std::string> PeExports(const File& file) {
  const auto peOffset = Read<uint32_t>(file, 0x3C);
  if (Read<uint32_t>(file, peOffset) != 0x00004550) throw std::runtime_error("no PE signature");
  const uint64_t coff = peOffset + 4;
  const auto sectionCount = Read<uint16_t>(file, coff + 2);
  const auto optionalSize = Read<uint16_t>(file, coff + 16);
  const uint64_t optional = coff + 20;
  if (Read<uint16_t>(file, optional) != 0x20B) throw std::runtime_error("not a 64-bit PE file");
  const auto exportRva = Read<uint32_t>(file, optional + 112);
  if (exportRva == 0) return {};
  const uint64_t sections = optional + optionalSize;
  auto fileOffset = [&](uint32_t rva) -> uint64_t {
    for (uint16_t i = 0; i < sectionCount; ++i) {
      const uint64_t section = sections + 40u * i;
      const auto virtualSize = Read<uint32_t>(file, section + 8);
      const auto virtualAddress = Read<uint32_t>(file, section + 12);
      const auto rawOffset = Read<uint32_t>(file, section + 20);
      if (rva >= virtualAddress && rva < virtualAddress + virtualSize) return rawOffset + (rva - virtualAddress);
    }
    throw std::runtime_error("address outside every section");
  };
  const uint64_t directory = fileOffset(exportRva);
  const auto nameCount = Read<uint32_t>(file, directory + 24);
  const uint64_t names = fileOffset(Read<uint32_t>(file, directory + 32));
  std::set<std::string> out;
  for (uint32_t i = 0; i < nameCount; ++i)
    out.insert(ReadString(file, fileOffset(Read<uint32_t>(file, names + 4u * i))));
  return out;
}

std::set<std::string> ElfExports(const File& file) {
  if (file[4] != 2) throw std::runtime_error("not a 64-bit ELF file");
  const auto sectionTable = Read<uint64_t>(file, 0x28);
  const auto entrySize = Read<uint16_t>(file, 0x3A);
  const auto sectionCount = Read<uint16_t>(file, 0x3C);
  std::set<std::string> out;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const uint64_t section = sectionTable + uint64_t{entrySize} * i;
    if (Read<uint32_t>(file, section + 4) != 11) continue;  // SHT_DYNSYM
    const auto symbols = Read<uint64_t>(file, section + 0x18);
    const auto size = Read<uint64_t>(file, section + 0x20);
    const auto link = Read<uint32_t>(file, section + 0x28);
    const uint64_t stringSection = sectionTable + uint64_t{entrySize} * link;
    const auto strings = Read<uint64_t>(file, stringSection + 0x18);
    for (uint64_t symbol = symbols; symbol + 24 <= symbols + size; symbol += 24) {
      const auto info = Read<uint8_t>(file, symbol + 4);
      const auto other = Read<uint8_t>(file, symbol + 5);
      const auto sectionIndex = Read<uint16_t>(file, symbol + 6);
      const int binding = info >> 4;
      const bool defined = sectionIndex != 0;
      const bool visible = (other & 3) == 0;
      if (defined && visible && (binding == 1 || binding == 2))
        out.insert(ReadString(file, strings + Read<uint32_t>(file, symbol)));
    }
  }
  return out;
}

}  // namespace

std::set<std::string> ExportedNames(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw std::runtime_error("cannot open " + path);
  const File file((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  if (file.size() >= 0x40 && file[0] == 'M' && file[1] == 'Z') return PeExports(file);
  if (file.size() >= 0x40 && std::memcmp(file.data(),
                                         "\x7F"
                                         "ELF",
                                         4) == 0)
    return ElfExports(file);
  throw std::runtime_error(path + " is neither a PE nor an ELF library");
}

}  // namespace kav::test
