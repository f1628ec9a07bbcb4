#include "imaging/exe_icons.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/ico.h"
#include "imaging/icon_reduce.h"
#include "platform/bytes.h"
#include "platform/display.h"
#include "platform/files.h"
#include "platform/pe_resources.h"

namespace quillora::exe_icons {
namespace {

constexpr std::uint64_t kGroupHeader = 6;  // reserved, type, count
constexpr std::uint64_t kGroupEntry = 14;  // an icon file's entry with a resource id for the offset

// One image of an icon group: its directory facts and the id of the icon
// resource holding it.
struct GroupImage {
    IconEntry entry;
    std::uint16_t id;
};

// The images an icon group lists; none when its header is damaged. A count
// larger than the data holds is cut to the entries that are there.
std::vector<GroupImage> read_icon_group(ByteView group) {
    std::vector<GroupImage> images;
    if (group.size() < kGroupHeader)
        return images;
    const std::uint64_t count =
        std::min<std::uint64_t>(group.u16le(4), (group.size() - kGroupHeader) / kGroupEntry);
    if (group.u16le(0) != 0 || count == 0)
        return images;
    images.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        const ByteView e = group.sub(kGroupHeader + kGroupEntry * i, kGroupEntry);
        images.push_back(
            {IconEntry{e.u8(0), e.u8(1), e.u8(2), e.u8(3), e.u16le(4), e.u16le(6), e.u32le(8), 0},
             e.u16le(12)});
    }
    return images;
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

std::optional<IconImage> extract(std::span<const std::uint8_t> data, int index) {
    if (index < 0)
        return std::nullopt;
    pe::ResourceReader reader(data);
    const std::optional<pe::Resource> group = reader.icon_group(static_cast<std::size_t>(index));
    if (!group)
        return std::nullopt;
    const std::vector<GroupImage> images = read_icon_group(ByteView(group->bytes));
    if (images.empty())
        return std::nullopt;
    std::vector<IconEntry> entries;
    entries.reserve(images.size());
    for (const GroupImage& image : images)
        entries.push_back(image.entry);
    // An entry without a bit count is told by its image's header.
    const auto image_bits = [&](std::size_t i) {
        const auto image = reader.icon_image(images[i].id, group->language);
        return image ? icon_image_bits(*image) : 0u;
    };
    const std::size_t chosen = choose_icon_entry(entries, display::system_icon_size(),
                                                 display::screen_depth(), image_bits);

    // The image: the numbered icon resource the chosen entry names, in the
    // group's language when it has that one.
    const std::optional<std::span<const std::uint8_t>> image =
        reader.icon_image(images[chosen].id, group->language);
    if (!image)
        return std::nullopt;

    // A larger image is reduced to fit the system icon size keeping its
    // shape, at the top-left corner; a smaller one is stretched to it.
    const display::Size size = display::system_icon_size();
    IconImage decoded = decode_icon_image(*image);
    if (decoded.width() > size.width || decoded.height() > size.height)
        decoded = reduce_icon_image(decoded, size);
    else if (decoded.width() != size.width || decoded.height() != size.height)
        decoded = scale_icon_image(decoded, size.width, size.height);
    return to_screen(decoded);
}

}  // namespace

int count_exe_icons(std::span<const std::uint8_t> data) noexcept {
    pe::ResourceReader reader(data);
    return static_cast<int>(reader.icon_group_count());
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
