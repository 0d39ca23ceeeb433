// The built library's dynamic symbol table, read from the ELF file itself: the load entry is its
// only defined symbol, so nothing of the framework or of the C++ runtime inside it can be
// interposed on the host or by it.
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace kiv::test {
namespace {

struct DefinedSymbol {
    std::string name;
    unsigned type = 0;
    friend bool operator==(const DefinedSymbol&, const DefinedSymbol&) = default;
};

void PrintTo(const DefinedSymbol& symbol, std::ostream* os) {
    *os << symbol.name << " (type " << symbol.type << ")";
}

// In one read: the sanitizer builds' libraries run to a hundred megabytes of debug information.
std::vector<char> fileBytes(const char* path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    std::vector<char> bytes(static_cast<std::size_t>(std::max<std::streamoff>(file.tellg(), 0)));
    file.seekg(0);
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

template <class T> T readAt(const std::vector<char>& bytes, std::size_t offset) {
    T value{};
    if (offset <= bytes.size() && sizeof(T) <= bytes.size() - offset) {
        std::memcpy(&value, bytes.data() + offset, sizeof(T));
    } else {
        ADD_FAILURE() << "read past the end of the file at " << offset;
    }
    return value;
}

// The defined global and weak symbols of every dynamic symbol table in the file.
template <class Header, class Section, class Symbol, unsigned char (*typeOf)(unsigned char),
          unsigned char (*bindingOf)(unsigned char)>
std::vector<DefinedSymbol> definedDynamicSymbols(const std::vector<char>& bytes) {
    const auto header = readAt<Header>(bytes, 0);
    std::vector<DefinedSymbol> symbols;
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        const auto table = readAt<Section>(bytes, header.e_shoff + std::size_t{i} * header.e_shentsize);
        if (table.sh_type != SHT_DYNSYM || table.sh_entsize == 0) {
            continue;
        }
        const auto names =
            readAt<Section>(bytes, header.e_shoff + std::size_t{table.sh_link} * header.e_shentsize);
        for (std::size_t at = 0; at + table.sh_entsize <= table.sh_size; at += table.sh_entsize) {
            const auto symbol = readAt<Symbol>(bytes, table.sh_offset + at);
            const unsigned binding = bindingOf(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK)) {
                continue;
            }
            const std::size_t nameAt = names.sh_offset + symbol.st_name;
            EXPECT_LT(nameAt, bytes.size());
            if (nameAt >= bytes.size()) {
                break;
            }
            symbols.push_back(
                {std::string(bytes.data() + nameAt, strnlen(bytes.data() + nameAt, bytes.size() - nameAt)),
                 typeOf(symbol.st_info)});
        }
    }
    return symbols;
}

unsigned char type32(unsigned char info) {
    return ELF32_ST_TYPE(info);
}
unsigned char binding32(unsigned char info) {
    return ELF32_ST_BIND(info);
}
unsigned char type64(unsigned char info) {
    return ELF64_ST_TYPE(info);
}
unsigned char binding64(unsigned char info) {
    return ELF64_ST_BIND(info);
}

TEST(ExportTableTest, TheLoadEntryIsTheOnlyDefinedDynamicSymbol) {
    const std::vector<char> bytes = fileBytes(KIV_SHUTDOWN_LAW_LIBRARY);
    ASSERT_GT(bytes.size(), std::size_t{EI_NIDENT});
    ASSERT_EQ(std::memcmp(bytes.data(), ELFMAG, SELFMAG), 0);
    const bool is32 = bytes[EI_CLASS] == ELFCLASS32;
    EXPECT_EQ(is32, sizeof(void*) == 4) << "the library is built for the tests' architecture";
    const std::vector<DefinedSymbol> symbols =
        is32 ? definedDynamicSymbols<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym, type32, binding32>(bytes)
             : definedDynamicSymbols<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym, type64, binding64>(bytes);
    EXPECT_EQ(symbols, (std::vector<DefinedSymbol>{{"load_kiv_kr_shutdown_law", STT_FUNC}}));
}

} // namespace
} // namespace kiv::test
