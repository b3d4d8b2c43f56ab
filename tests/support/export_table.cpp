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

// The sections and data directories of a 64-bit PE file.
class PeFile {
 public:
  explicit PeFile(const File& file) : file_(file) {
    const auto peOffset = Read<uint32_t>(file, 0x3C);
    if (Read<uint32_t>(file, peOffset) != 0x00004550) throw std::runtime_error("no PE signature");
    const uint64_t coff = peOffset + 4;
    sectionCount_ = Read<uint16_t>(file, coff + 2);
    const auto optionalSize = Read<uint16_t>(file, coff + 16);
    optional_ = coff + 20;
    if (Read<uint16_t>(file, optional_) != 0x20B) throw std::runtime_error("not a 64-bit PE file");
    sections_ = optional_ + optionalSize;
  }

  // The address of data directory `index` (0 exports, 1 imports, 13 delay-loaded imports), 0 when absent.
  uint32_t Directory(unsigned index) const { return Read<uint32_t>(file_, optional_ + 112 + 8u * index); }

  uint64_t FileOffset(uint32_t rva) const {
    for (uint16_t i = 0; i < sectionCount_; ++i) {
      const uint64_t section = sections_ + 40u * i;
      const auto virtualSize = Read<uint32_t>(file_, section + 8);
      const auto virtualAddress = Read<uint32_t>(file_, section + 12);
      const auto rawOffset = Read<uint32_t>(file_, section + 20);
      if (rva >= virtualAddress && rva < virtualAddress + virtualSize) return rawOffset + (rva - virtualAddress);
    }
    throw std::runtime_error("address outside every section");
  }

  std::string StringAt(uint32_t rva) const { return ReadString(file_, FileOffset(rva)); }

 private:
  const File& file_;
  uint16_t sectionCount_;
  uint64_t optional_;
  uint64_t sections_;
};

std::set<std::string> PeExports(const File& file) {
  const PeFile pe(file);
  const uint32_t exportRva = pe.Directory(0);
  if (exportRva == 0) return {};
  const uint64_t directory = pe.FileOffset(exportRva);
  const auto nameCount = Read<uint32_t>(file, directory + 24);
  const uint64_t names = pe.FileOffset(Read<uint32_t>(file, directory + 32));
  std::set<std::string> out;
  for (uint32_t i = 0; i < nameCount; ++i) out.insert(pe.StringAt(Read<uint32_t>(file, names + 4u * i)));
  return out;
}

// Both import tables list one descriptor per DLL up to an all-zero one; the
// name's address is at offset 12 of an import descriptor (20 bytes), at
// offset 4 of a delay-load descriptor (32 bytes).
std::set<std::string> PeImports(const File& file) {
  const PeFile pe(file);
  std::set<std::string> out;
  struct Table {
    unsigned directory;
    unsigned entrySize;
    unsigned nameOffset;
  };
  for (const Table table : {Table{1, 20, 12}, Table{13, 32, 4}}) {
    const uint32_t rva = pe.Directory(table.directory);
    if (rva == 0) continue;
    for (uint64_t entry = pe.FileOffset(rva);; entry += table.entrySize) {
      const auto nameRva = Read<uint32_t>(file, entry + table.nameOffset);
      if (nameRva == 0) break;
      out.insert(pe.StringAt(nameRva));
    }
  }
  return out;
}

// A section of a 64-bit ELF file: where its contents lie in the file, and
// where those of the section it links to (its string table) begin.
struct ElfSection {
  uint64_t offset;
  uint64_t size;
  uint64_t linkedOffset;
};

// The sections of one type (SHT_*), in the order of the section table.
std::vector<ElfSection> ElfSectionsOfType(const File& file, uint32_t type) {
  if (file[4] != 2) throw std::runtime_error("not a 64-bit ELF file");
  const auto sectionTable = Read<uint64_t>(file, 0x28);
  const auto entrySize = Read<uint16_t>(file, 0x3A);
  const auto sectionCount = Read<uint16_t>(file, 0x3C);
  std::vector<ElfSection> sections;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const uint64_t section = sectionTable + uint64_t{entrySize} * i;
    if (Read<uint32_t>(file, section + 4) != type) continue;
    const auto offset = Read<uint64_t>(file, section + 0x18);
    const auto size = Read<uint64_t>(file, section + 0x20);
    const auto link = Read<uint32_t>(file, section + 0x28);
    const auto linkedOffset = Read<uint64_t>(file, sectionTable + uint64_t{entrySize} * link + 0x18);
    sections.push_back({offset, size, linkedOffset});
  }
  return sections;
}

std::set<std::string> ElfExports(const File& file) {
  std::set<std::string> out;
  for (const auto& [symbols, size, strings] : ElfSectionsOfType(file, 11)) {  // SHT_DYNSYM
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

// The DT_NEEDED entries of the dynamic section, named in its linked string table.
std::set<std::string> ElfNeeded(const File& file) {
  std::set<std::string> out;
  for (const auto& [entries, size, strings] : ElfSectionsOfType(file, 6)) {  // SHT_DYNAMIC
    for (uint64_t entry = entries; entry + 16 <= entries + size; entry += 16) {
      const auto tag = Read<int64_t>(file, entry);
      if (tag == 0) break;                                                                    // DT_NULL
      if (tag == 1) out.insert(ReadString(file, strings + Read<uint64_t>(file, entry + 8)));  // DT_NEEDED
    }
  }
  return out;
}

File ReadLibrary(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw std::runtime_error("cannot open " + path);
  return File((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

bool IsPe(const File& file) { return file.size() >= 0x40 && file[0] == 'M' && file[1] == 'Z'; }
bool IsElf(const File& file) {
  return file.size() >= 0x40 && std::memcmp(file.data(),
                                            "\x7F"
                                            "ELF",
                                            4) == 0;
}

}  // namespace

std::set<std::string> ExportedNames(const std::string& path) {
  const File file = ReadLibrary(path);
  if (IsPe(file)) return PeExports(file);
  if (IsElf(file)) return ElfExports(file);
  throw std::runtime_error(path + " is neither a PE nor an ELF library");
}

std::set<std::string> ImportedLibraries(const std::string& path) {
  const File file = ReadLibrary(path);
  if (IsPe(file)) return PeImports(file);
  if (IsElf(file)) return ElfNeeded(file);
  throw std::runtime_error(path + " is neither a PE nor an ELF library");
}

}  // namespace kav::test
