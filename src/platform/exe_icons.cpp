#include "platform/exe_icons.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/ico.h"
#include "imaging/png.h"
#include "platform/display.h"
#include "platform/files.h"

namespace quillora::exe_icons {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint16_t kIconType = 3;        // one image of an icon
constexpr std::uint16_t kIconGroupType = 14;  // the directory of an icon's images
constexpr std::uint32_t kHighBit = 0x80000000u;

// Enough for any real resource section (a directory holds at most 131070
// entries); a bound on the work one look-up may do, whatever the file says.
constexpr std::uint32_t kMaxEntriesVisited = 1u << 20;

std::uint16_t u16(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t u32(const std::uint8_t* p) noexcept {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// Whether [offset, offset + length) lies inside `size` bytes.
bool fits(std::uint64_t offset, std::uint64_t length, std::uint64_t size) noexcept {
    return offset <= size && length <= size - offset;
}

struct Section {
    std::uint32_t virtual_address;
    std::uint32_t raw_size;
    std::uint32_t raw_offset;
};

// One entry of a resource directory.
struct DirectoryEntry {
    std::uint32_t name;    // an id, or (high bit set) the offset of a name
    std::uint32_t target;  // a data entry, or (high bit set) a subdirectory
    bool named() const noexcept { return (name & kHighBit) != 0; }
    bool subdirectory() const noexcept { return (target & kHighBit) != 0; }
    std::uint32_t target_offset() const noexcept { return target & ~kHighBit; }
};

// The resource section of a PE32 or PE32+ file, every read checked against
// the bytes there.
class ResourceReader {
  public:
    // Reads the headers; valid() says whether a resource section was found.
    explicit ResourceReader(Bytes data) noexcept : data_(data) { valid_ = read_headers(); }

    bool valid() const noexcept { return valid_; }

    // The entries of the directory at `offset` (from the start of the
    // resource section), named ones first as stored. Entries that would lie
    // past the section's end are left out; a directory header that does not
    // fit gives none. `named` receives how many of them are named.
    std::vector<DirectoryEntry> directory(std::uint32_t offset, std::size_t* named = nullptr) {
        std::vector<DirectoryEntry> entries;
        if (named)
            *named = 0;
        if (!fits(offset, 16, resources_.size()))
            return entries;
        const std::uint8_t* header = resources_.data() + offset;
        const std::uint32_t named_count = u16(header + 12);
        const std::uint32_t total = named_count + u16(header + 14);
        const std::uint64_t room = (resources_.size() - offset - 16) / 8;
        auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(total, room));
        count = std::min(count, budget_);
        budget_ -= count;
        entries.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* p = header + 16 + 8 * static_cast<std::size_t>(i);
            entries.push_back({u32(p), u32(p + 4)});
        }
        if (named)
            *named = std::min<std::size_t>(named_count, entries.size());
        return entries;
    }

    // The subdirectory of numbered type `type` in the root directory.
    std::optional<std::uint32_t> type_directory(std::uint16_t type) {
        std::size_t named = 0;
        const std::vector<DirectoryEntry> types = directory(0, &named);
        for (std::size_t i = named; i < types.size(); ++i) {
            if (!types[i].named() && types[i].name == type && types[i].subdirectory())
                return types[i].target_offset();
        }
        return std::nullopt;
    }

    // The data of the resource below a name entry: the language whose id is
    // `language` when there is one, else the first. Reports the language
    // taken.
    std::optional<Bytes> resource_data(const DirectoryEntry& name_entry,
                                       std::optional<std::uint32_t> language,
                                       std::uint32_t* language_taken = nullptr) {
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
        if (language_taken)
            *language_taken = chosen->name;
        // The third level holds data entries only: a directory here (a
        // loop back to the root, say) ends the search.
        if (chosen->subdirectory() || !fits(chosen->target, 16, resources_.size()))
            return std::nullopt;
        const std::uint8_t* entry = resources_.data() + chosen->target;
        return map(u32(entry), u32(entry + 4));
    }

  private:
    bool read_headers() noexcept {
        const std::uint64_t size = data_.size();
        if (size < 64 || data_[0] != 'M' || data_[1] != 'Z')
            return false;
        const std::uint32_t pe = u32(data_.data() + 0x3C);
        if (!fits(pe, 24, size))
            return false;
        const std::uint8_t* coff = data_.data() + pe;
        if (std::memcmp(coff, "PE\0\0", 4) != 0)
            return false;
        const std::uint16_t section_count = u16(coff + 6);
        const std::uint16_t optional_size = u16(coff + 20);
        const std::uint64_t optional = std::uint64_t{pe} + 24;
        if (!fits(optional, optional_size, size) || optional_size < 2)
            return false;
        const std::uint8_t* opt = data_.data() + optional;
        const std::uint16_t magic = u16(opt);
        std::uint32_t directories_at = 0;
        if (magic == 0x10B) {
            directories_at = 96;  // PE32
        } else if (magic == 0x20B) {
            directories_at = 112;  // PE32+
        } else {
            return false;
        }
        // The resource table is data directory 2.
        constexpr std::uint32_t kResourceDirectory = 2;
        if (optional_size < directories_at)
            return false;
        const std::uint32_t directory_count = u32(opt + directories_at - 4);
        const std::uint64_t resource_entry = directories_at + 8 * kResourceDirectory;
        if (directory_count <= kResourceDirectory || !fits(resource_entry, 8, optional_size))
            return false;
        const std::uint32_t resource_rva = u32(opt + resource_entry);
        if (resource_rva == 0)
            return false;

        const std::uint64_t table = optional + optional_size;
        if (!fits(table, std::uint64_t{section_count} * 40, size))
            return false;
        sections_.reserve(section_count);
        for (std::uint32_t i = 0; i < section_count; ++i) {
            const std::uint8_t* s = data_.data() + table + 40 * static_cast<std::size_t>(i);
            sections_.push_back({u32(s + 12), u32(s + 16), u32(s + 20)});
        }

        // The resource section runs from its root directory to the end of
        // the file data of the section that holds it.
        const Section* home = section_of(resource_rva);
        if (!home)
            return false;
        const std::uint64_t start =
            std::uint64_t{home->raw_offset} + (resource_rva - home->virtual_address);
        const std::uint64_t end =
            std::min<std::uint64_t>(std::uint64_t{home->raw_offset} + home->raw_size, size);
        if (start >= end)
            return false;
        resources_ =
            data_.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
        return true;
    }

    // The section whose file data holds an address.
    const Section* section_of(std::uint32_t rva) const noexcept {
        for (const Section& s : sections_) {
            if (rva >= s.virtual_address && rva - s.virtual_address < s.raw_size)
                return &s;
        }
        return nullptr;
    }

    // The bytes of `size` bytes at an address, when they all lie in the file
    // data of one section and inside the file.
    std::optional<Bytes> map(std::uint32_t rva, std::uint32_t size) const noexcept {
        const Section* s = section_of(rva);
        if (!s)
            return std::nullopt;
        const std::uint32_t inside = rva - s->virtual_address;
        if (size > s->raw_size - inside)
            return std::nullopt;
        const std::uint64_t offset = std::uint64_t{s->raw_offset} + inside;
        if (!fits(offset, size, data_.size()))
            return std::nullopt;
        return data_.subspan(static_cast<std::size_t>(offset), size);
    }

    Bytes data_;
    Bytes resources_;
    std::vector<Section> sections_;
    std::uint32_t budget_ = kMaxEntriesVisited;
    bool valid_ = false;
};

// The icon groups in directory order.
std::vector<DirectoryEntry> icon_groups(ResourceReader& reader) {
    if (!reader.valid())
        return {};
    const std::optional<std::uint32_t> groups = reader.type_directory(kIconGroupType);
    if (!groups)
        return {};
    return reader.directory(*groups);
}

// Converts a decoded icon to the screen's depth, both bitmaps bottom row first.
IconImage to_screen(const IconImage& icon) {
    const int depth = display::screen_depth();
    const int width = icon.width();
    const int height = icon.height();
    IconImage out;
    out.mask = Bitmap(width, height, 1);
    out.mask.palette() = {Rgbq{0, 0, 0, 0}, Rgbq{255, 255, 255, 0}};
    const std::size_t mask_bytes = std::min(out.mask.stride(), icon.mask.stride());
    for (int y = 0; y < height && y < icon.mask.height(); ++y)
        std::memcpy(out.mask.row(y), icon.mask.row(y), mask_bytes);

    const bool alpha = icon.alpha && icon.colour.bpp() == 32;
    if (depth == 32) {
        out.colour = create_screen_bitmap(width, height, 32);
        draw(icon.colour, out.colour);
        if (alpha) {
            for (int y = 0; y < height; ++y) {
                const std::uint8_t* from = icon.colour.row(y);
                std::uint8_t* to = out.colour.row(y);
                for (int x = 0; x < width; ++x)
                    to[4 * static_cast<std::size_t>(x) + 3] =
                        from[4 * static_cast<std::size_t>(x) + 3];
            }
            out.alpha = true;
        }
        return out;
    }
    out.colour = create_screen_bitmap(width, height, depth);
    if (!alpha) {
        draw(icon.colour, out.colour);
        return out;
    }
    // Without alpha on the screen the mask decides: weight the colour by its
    // alpha so that transparent pixels are black and leave the background
    // unchanged.
    Bitmap weighted(width, height, 32);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = icon.colour.row(y);
        std::uint8_t* to = weighted.row(y);
        for (int x = 0; x < width; ++x) {
            const std::size_t i = 4 * static_cast<std::size_t>(x);
            const unsigned a = from[i + 3];
            for (int c = 0; c < 3; ++c)
                to[i + c] = static_cast<std::uint8_t>((from[i + c] * a + 127) / 255);
            to[i + 3] = 0;
        }
    }
    draw(weighted, out.colour);
    return out;
}

std::optional<IconImage> extract(Bytes data, int index) {
    if (index < 0)
        return std::nullopt;
    ResourceReader reader(data);
    const std::vector<DirectoryEntry> groups = icon_groups(reader);
    if (static_cast<std::size_t>(index) >= groups.size())
        return std::nullopt;

    std::uint32_t language = 0;
    const std::optional<Bytes> group = reader.resource_data(groups[index], std::nullopt, &language);
    constexpr std::size_t kGroupHeader = 6, kGroupEntry = 14;
    if (!group || group->size() < kGroupHeader)
        return std::nullopt;
    const std::uint8_t* g = group->data();
    const std::size_t count =
        std::min<std::size_t>(u16(g + 4), (group->size() - kGroupHeader) / kGroupEntry);
    if (u16(g) != 0 || count == 0)
        return std::nullopt;
    std::vector<IconEntry> entries;
    std::vector<std::uint16_t> ids;
    entries.reserve(count);
    ids.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = g + kGroupHeader + kGroupEntry * i;
        entries.push_back(IconEntry{e[0], e[1], e[2], e[3], u16(e + 4), u16(e + 6), u32(e + 8), 0});
        ids.push_back(u16(e + 12));
    }
    const std::size_t chosen = choose_icon_entry(entries, display::system_icon_size(),
                                                 icon_colour_limit(display::screen_depth()));

    // The image: the numbered icon resource the chosen entry names.
    const std::optional<std::uint32_t> images = reader.type_directory(kIconType);
    if (!images)
        return std::nullopt;
    std::size_t named = 0;
    const std::vector<DirectoryEntry> icons = reader.directory(*images, &named);
    std::optional<Bytes> image;
    for (std::size_t i = named; i < icons.size() && !image; ++i) {
        if (!icons[i].named() && icons[i].name == ids[chosen]) {
            image = reader.resource_data(icons[i], language);
            if (!image)
                return std::nullopt;
        }
    }
    if (!image)
        return std::nullopt;

    const display::Size size = display::system_icon_size();
    IconImage decoded = decode_icon_image(*image);
    if (decoded.width() != size.width || decoded.height() != size.height)
        decoded = scale_icon_image(decoded, size.width, size.height);
    return to_screen(decoded);
}

}  // namespace

int count_exe_icons(std::span<const std::uint8_t> data) noexcept {
    try {
        ResourceReader reader(data);
        return static_cast<int>(icon_groups(reader).size());
    } catch (const std::exception&) {
        return 0;
    }
}

int count_exe_icons(const std::string& path) noexcept {
    try {
        return count_exe_icons(files::read_file(path));
    } catch (const std::exception&) {
        return 0;
    }
}

std::optional<IconImage> extract_exe_icon(std::span<const std::uint8_t> data, int index) noexcept {
    try {
        return extract(data, index);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<IconImage> extract_exe_icon(const std::string& path, int index) noexcept {
    try {
        if (index < 0)
            return std::nullopt;
        return extract(files::read_file(path), index);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace quillora::exe_icons
