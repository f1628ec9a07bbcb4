#include "platform/pe_resources.h"

#include <algorithm>
#include <exception>

namespace quillora::pe {
namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint32_t kPeSignature = 0x50450000u;  // "PE\0\0"
constexpr std::uint64_t kCoffHeader = 24;            // the signature and the file header
constexpr std::uint64_t kDataDirectory = 8;          // an address and a size
constexpr std::uint64_t kSectionHeader = 40;
constexpr std::uint64_t kDirectoryHeader = 16;
constexpr std::uint64_t kDirectoryEntry = 8;
constexpr std::uint64_t kDataEntry = 16;

}  // namespace

// One entry of a resource directory.
struct ResourceReader::DirectoryEntry {
    std::uint32_t name;    // an id, or (high bit set) the offset of a name
    std::uint32_t target;  // a data entry, or (high bit set) a subdirectory
    bool named() const noexcept { return (name & kHighBit) != 0; }
    bool subdirectory() const noexcept { return (target & kHighBit) != 0; }
    std::uint32_t target_offset() const noexcept { return target & ~kHighBit; }
};

ResourceReader::ResourceReader(std::span<const std::uint8_t> file) noexcept : file_(file) {
    try {
        valid_ = read_headers();
    } catch (const std::exception&) {
        // A header that does not fit in the file: no resources.
        valid_ = false;
    }
}

std::size_t ResourceReader::icon_group_count() noexcept {
    try {
        if (!valid_)
            return 0;
        const std::optional<std::uint32_t> groups = type_directory(kIconGroupType);
        return groups ? directory(*groups).size() : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

std::optional<Resource> ResourceReader::icon_group(std::size_t index) noexcept {
    try {
        if (!valid_)
            return std::nullopt;
        const std::optional<std::uint32_t> groups = type_directory(kIconGroupType);
        if (!groups)
            return std::nullopt;
        const std::vector<DirectoryEntry> entries = directory(*groups);
        if (index >= entries.size())
            return std::nullopt;
        return resource_data(entries[index], std::nullopt);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::span<const std::uint8_t>> ResourceReader::icon_image(
    std::uint16_t id, std::uint32_t language) noexcept {
    try {
        if (!valid_)
            return std::nullopt;
        const std::optional<std::uint32_t> images = type_directory(kIconType);
        if (!images)
            return std::nullopt;
        std::size_t named = 0;
        const std::vector<DirectoryEntry> icons = directory(*images, &named);
        // The first entry with the id decides.
        for (std::size_t i = named; i < icons.size(); ++i) {
            if (!icons[i].named() && icons[i].name == id) {
                const std::optional<Resource> image = resource_data(icons[i], language);
                if (!image)
                    return std::nullopt;
                return image->bytes;
            }
        }
        return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Every read below that does not fit raises, and the constructor takes that
// as "no resource section".
bool ResourceReader::read_headers() {
    if (file_.size() < 64 || file_.u8(0) != 'M' || file_.u8(1) != 'Z')
        return false;
    const std::uint32_t pe = file_.u32le(0x3C);
    const ByteView coff = file_.sub(pe, kCoffHeader);
    if (coff.be32(0) != kPeSignature)
        return false;
    const std::uint16_t section_count = coff.u16le(6);
    const std::uint16_t optional_size = coff.u16le(20);
    const std::uint64_t optional_at = std::uint64_t{pe} + kCoffHeader;
    const ByteView optional = file_.sub(optional_at, optional_size);
    std::uint32_t directories_at = 0;
    switch (optional.u16le(0)) {
        case 0x10B:
            directories_at = 96;  // PE32
            break;
        case 0x20B:
            directories_at = 112;  // PE32+
            break;
        default:
            return false;
    }
    // The resource table is data directory 2, after the count of them.
    constexpr std::uint32_t kResourceDirectory = 2;
    const std::uint32_t directory_count = optional.u32le(directories_at - 4);
    if (directory_count <= kResourceDirectory)
        return false;
    // The entry must be whole, though only its address counts.
    const ByteView resource_entry =
        optional.sub(directories_at + kDataDirectory * kResourceDirectory, kDataDirectory);
    const std::uint32_t resource_rva = resource_entry.u32le(0);
    if (resource_rva == 0)
        return false;

    const ByteView table = file_.sub(optional_at + optional_size, section_count * kSectionHeader);
    sections_.reserve(section_count);
    for (std::uint32_t i = 0; i < section_count; ++i) {
        const ByteView s = table.sub(i * kSectionHeader, kSectionHeader);
        sections_.push_back({s.u32le(12), s.u32le(16), s.u32le(20)});
    }

    // The resource section runs from its root directory to the end of the
    // file data of the section that holds it.
    const Section* home = section_of(resource_rva);
    if (!home)
        return false;
    const std::uint64_t start =
        std::uint64_t{home->raw_offset} + (resource_rva - home->virtual_address);
    const std::uint64_t end =
        std::min<std::uint64_t>(std::uint64_t{home->raw_offset} + home->raw_size, file_.size());
    if (start >= end)
        return false;
    resources_ = file_.sub(start, end - start);
    return true;
}

// The entries of the directory at `offset` (from the start of the resource
// section), named ones first as stored. Entries that would lie past the
// section's end are left out; a directory header that does not fit gives
// none. `named` receives how many of them are named.
std::vector<ResourceReader::DirectoryEntry> ResourceReader::directory(std::uint32_t offset,
                                                                      std::size_t* named) {
    std::vector<DirectoryEntry> entries;
    if (named)
        *named = 0;
    if (!resources_.fits(offset, kDirectoryHeader))
        return entries;
    const std::uint32_t named_count = resources_.u16le(std::uint64_t{offset} + 12);
    const std::uint32_t total = named_count + resources_.u16le(std::uint64_t{offset} + 14);
    const ByteView rest = resources_.from(std::uint64_t{offset} + kDirectoryHeader);
    auto count =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(total, rest.size() / kDirectoryEntry));
    count = std::min(count, budget_);
    budget_ -= count;
    entries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const ByteView entry = rest.sub(i * kDirectoryEntry, kDirectoryEntry);
        entries.push_back({entry.u32le(0), entry.u32le(4)});
    }
    if (named)
        *named = std::min<std::size_t>(named_count, entries.size());
    return entries;
}

// The subdirectory of numbered type `type` in the root directory.
std::optional<std::uint32_t> ResourceReader::type_directory(std::uint16_t type) {
    std::size_t named = 0;
    const std::vector<DirectoryEntry> types = directory(0, &named);
    for (std::size_t i = named; i < types.size(); ++i) {
        if (!types[i].named() && types[i].name == type && types[i].subdirectory())
            return types[i].target_offset();
    }
    return std::nullopt;
}

// The data of the resource below a name entry: the language whose id is
// `language` when there is one, else the first.
std::optional<Resource> ResourceReader::resource_data(const DirectoryEntry& name_entry,
                                                      std::optional<std::uint32_t> language) {
    if (!name_entry.subdirectory())
        return std::nullopt;
    const std::vector<DirectoryEntry> languages = directory(name_entry.target_offset());
    if (languages.empty())
        return std::nullopt;
    const DirectoryEntry* chosen = &languages.front();
    if (language) {
        for (const DirectoryEntry& entry : languages) {
            if (!entry.named() && entry.name == *language) {
                chosen = &entry;
                break;
            }
        }
    }
    // The third level holds data entries only: a directory here (a loop
    // back to the root, say) ends the search.
    if (chosen->subdirectory() || !resources_.fits(chosen->target, kDataEntry))
        return std::nullopt;
    const ByteView entry = resources_.sub(chosen->target, kDataEntry);
    const std::optional<std::span<const std::uint8_t>> data = map(entry.u32le(0), entry.u32le(4));
    if (!data)
        return std::nullopt;
    return Resource{*data, chosen->name};
}

// The section whose file data holds an address.
const ResourceReader::Section* ResourceReader::section_of(std::uint32_t rva) const noexcept {
    for (const Section& s : sections_) {
        if (rva >= s.virtual_address && rva - s.virtual_address < s.raw_size)
            return &s;
    }
    return nullptr;
}

// The `size` bytes at an address, when they all lie in the file data of one
// section and inside the file.
std::optional<std::span<const std::uint8_t>> ResourceReader::map(std::uint32_t rva,
                                                                 std::uint32_t size) const {
    const Section* s = section_of(rva);
    if (!s)
        return std::nullopt;
    const std::uint32_t inside = rva - s->virtual_address;
    if (size > s->raw_size - inside)
        return std::nullopt;
    const std::uint64_t offset = std::uint64_t{s->raw_offset} + inside;
    if (!file_.fits(offset, size))
        return std::nullopt;
    return file_.sub(offset, size).span();
}

}  // namespace quillora::pe
