// The fixture executables of tests/data/exe, and a map of where the parts of
// their resource section lie, so that tests can damage them one at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files.h"

namespace quillora::testing {

using Bytes = std::vector<std::uint8_t>;

inline std::string exe_fixture(const std::string& name) {
    return std::string(QUILLORA_TEST_DATA) + "/exe/" + name;
}
inline Bytes exe_fixture_bytes(const std::string& name) {
    return files::read_file(exe_fixture(name));
}

inline std::uint32_t get16(const Bytes& b, std::size_t at) {
    return b.at(at) | b.at(at + 1) << 8;
}
inline std::uint32_t get32(const Bytes& b, std::size_t at) {
    return get16(b, at) | get16(b, at + 2) << 16;
}
inline void set16(Bytes& b, std::size_t at, std::uint32_t v) {
    b.at(at) = static_cast<std::uint8_t>(v);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
inline void set32(Bytes& b, std::size_t at, std::uint32_t v) {
    set16(b, at, v & 0xFFFF);
    set16(b, at + 2, v >> 16);
}

// Resource types.
inline constexpr std::uint32_t kGroup = 14, kIcon = 3;

// Finds the parts of a fixture's resource section, so tests can damage them.
struct PeLayout {
    const Bytes& b;
    std::size_t pe = 0, optional = 0, sections = 0, section_count = 0;
    std::size_t root = 0;  // file offset of the root resource directory
    std::uint32_t root_rva = 0;

    explicit PeLayout(const Bytes& bytes) : b(bytes) {
        pe = get32(b, 0x3C);
        section_count = get16(b, pe + 6);
        optional = pe + 24;
        sections = optional + get16(b, pe + 20);
        const std::size_t dirs = optional + (get16(b, optional) == 0x20B ? 112 : 96);
        root_rva = get32(b, dirs + 16);
        root = file_offset(root_rva);
    }
    // File offset of the header of the section holding an address.
    std::size_t section_of(std::uint32_t rva) const {
        for (std::size_t i = 0; i < section_count; ++i) {
            const std::size_t s = sections + 40 * i;
            const std::uint32_t va = get32(b, s + 12), raw = get32(b, s + 16);
            if (rva >= va && rva - va < raw)
                return s;
        }
        throw std::runtime_error("address outside the sections");
    }
    std::size_t file_offset(std::uint32_t rva) const {
        const std::size_t s = section_of(rva);
        return get32(b, s + 20) + (rva - get32(b, s + 12));
    }
    // File offset of entry i of the directory at resource offset `dir`.
    std::size_t entry(std::uint32_t dir, std::size_t i) const { return root + dir + 16 + 8 * i; }
    // The number of entries of the directory at resource offset `dir`.
    std::size_t entries(std::uint32_t dir) const {
        return get16(b, root + dir + 12) + get16(b, root + dir + 14);
    }
    std::uint32_t subdirectory(std::size_t entry_at) const {
        return get32(b, entry_at + 4) & 0x7FFFFFFF;
    }
    // The entry of numbered type `type` in the root directory.
    std::size_t type_entry(std::uint32_t type) const {
        for (std::size_t i = 0; i < entries(0); ++i) {
            if (get32(b, entry(0, i)) == type)
                return entry(0, i);
        }
        throw std::runtime_error("no such type");
    }
    // The name entry of resource i of a type, its first language entry and
    // that language's data entry (file offsets).
    std::size_t name_entry(std::uint32_t type, std::size_t i) const {
        return entry(subdirectory(type_entry(type)), i);
    }
    std::size_t language_entry(std::uint32_t type, std::size_t i) const {
        return entry(subdirectory(name_entry(type, i)), 0);
    }
    std::size_t data_entry(std::uint32_t type, std::size_t i) const {
        return root + get32(b, language_entry(type, i) + 4);
    }
    // File offset of the resource's data, and its size.
    std::size_t data(std::uint32_t type, std::size_t i) const {
        return file_offset(get32(b, data_entry(type, i)));
    }
    std::size_t data_size(std::uint32_t type, std::size_t i) const {
        return get32(b, data_entry(type, i) + 4);
    }
};

// One damage done to a copy of a fixture with three icon groups: the count
// of groups left (-1: any) and which of the three groups still give their
// icon.
struct PeDamage {
    const char* name;
    void (*apply)(Bytes&, const PeLayout&);
    int count;
    bool icons[3];
};

}  // namespace quillora::testing
