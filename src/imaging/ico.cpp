#include "imaging/ico.h"

#include <algorithm>
#include <utility>

#include "imaging/png.h"
#include "platform/bytes.h"
#include "platform/error.h"
#include "platform/files.h"

namespace quillora {
namespace {

constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kEntryBytes = 16;

std::uint64_t colour_count(const IconEntry& entry) noexcept {
    return entry.colour_count == 0 ? kUnlimitedColours : entry.colour_count;
}

// Whether a candidate's width (or height) is at least as good as the current
// choice's for the wanted one.
bool fits_as_well(int candidate, int choice, int wanted) noexcept {
    const int candidate_distance = candidate > wanted ? candidate - wanted : wanted - candidate;
    const int choice_distance = choice > wanted ? choice - wanted : wanted - choice;
    return candidate_distance <= choice_distance && (candidate <= wanted || candidate <= choice);
}

}  // namespace

std::uint64_t icon_colour_limit(int screen_depth) noexcept {
    if (screen_depth <= 8)
        return std::uint64_t{1} << (screen_depth < 0 ? 0 : screen_depth);
    return kUnlimitedColours;
}

std::size_t choose_icon_entry(std::span<const IconEntry> entries, display::Size wanted,
                              int screen_depth, const IconImageBits& image_bits) {
    if (entries.empty())
        fail(kIconNotValid);
    const std::uint64_t colour_limit = icon_colour_limit(screen_depth);
    // Bits per pixel up to the screen depth, found once per entry and only for
    // entries that tie.
    const auto depth_limit = static_cast<unsigned>(std::max(screen_depth, 0));
    std::vector<std::optional<unsigned>> bits(entries.size());
    const auto bits_of = [&](std::size_t i) {
        if (!bits[i]) {
            unsigned b = entries[i].bit_count;
            if (b == 0 && image_bits)
                b = image_bits(i);
            bits[i] = std::min(b, depth_limit);
        }
        return *bits[i];
    };
    std::size_t choice = 0;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const IconEntry& candidate = entries[i];
        const IconEntry& chosen = entries[choice];
        if (colour_count(candidate) > colour_limit)
            continue;
        if (colour_count(candidate) < colour_count(chosen))
            continue;
        if (!fits_as_well(candidate.width, chosen.width, wanted.width))
            continue;
        if (!fits_as_well(candidate.height, chosen.height, wanted.height))
            continue;
        const bool tie = colour_count(candidate) == colour_count(chosen) &&
                         candidate.width == chosen.width && candidate.height == chosen.height;
        if (tie && bits_of(i) < bits_of(choice))
            continue;
        choice = i;
    }
    return choice;
}

IconFileHeader read_icon_file_header(std::span<const std::uint8_t> data) {
    const ByteView header = ByteView(data).sub(0, kHeaderBytes);
    return {header.u16le(0), header.u16le(2), header.u16le(4)};
}

std::vector<IconEntry> read_icon_directory(std::span<const std::uint8_t> data) {
    const IconFileHeader header = read_icon_file_header(data);
    const ByteView directory =
        ByteView(data, kIconNotValid).sub(kHeaderBytes, std::uint64_t{header.count} * kEntryBytes);
    std::vector<IconEntry> entries;
    entries.reserve(header.count);
    for (std::size_t i = 0; i < header.count; ++i) {
        const ByteView e = directory.sub(i * kEntryBytes, kEntryBytes);
        entries.push_back(IconEntry{e.u8(0), e.u8(1), e.u8(2), e.u8(3), e.u16le(4), e.u16le(6),
                                    e.u32le(8), e.u32le(12)});
    }
    return entries;
}

IconPicture::IconPicture(std::vector<std::uint8_t> data)
    : data_(std::move(data)), png_(is_png(data_)) {
    // A PNG picture is an icon of that one image.
    header_ = png_ ? IconFileHeader{0, 1, 1} : read_icon_file_header(data_);
    if (header_.type > 1)
        fail(kIconNotValid);
}

IconPicture IconPicture::read(const std::string& path) {
    return IconPicture(files::read_file(path));
}

int IconPicture::width() const {
    return image_ ? image_->width() : display::system_icon_size().width;
}

int IconPicture::height() const {
    return image_ ? image_->height() : display::system_icon_size().height;
}

void IconPicture::draw(Bitmap& target) {
    draw_icon(image(), target);
}

const IconImage& IconPicture::image() {
    if (!image_)
        choose_and_decode();
    return *image_;
}

IconPicture::Choice IconPicture::choose() const {
    if (png_)
        return {0, data_, 0, 0};  // at the picture's own size
    const std::vector<IconEntry> entries = read_icon_directory(data_);
    const ByteView file(data_, kIconNotValid);
    const auto image_bits = [&](std::size_t i) {
        const IconEntry& e = entries[i];
        return file.fits(e.offset, e.bytes) ? icon_image_bits(file.sub(e.offset, e.bytes).span())
                                            : 0u;
    };
    const std::size_t index = choose_icon_entry(entries, display::system_icon_size(),
                                                display::screen_depth(), image_bits);
    const IconEntry& entry = entries[index];
    return {index, file.sub(entry.offset, entry.bytes).span(), icon_entry_pixels(entry.width),
            icon_entry_pixels(entry.height)};
}

std::uint64_t IconPicture::draw_memory() const noexcept {
    if (image_)
        return 0;
    if (header_.type == 0)
        return 4096;  // the generic application icon
    try {
        const Choice choice = choose();
        return icon_image_memory(choice.data, choice.width, choice.height);
    } catch (const Error&) {
        return 0;  // drawing fails before it holds anything
    }
}

void IconPicture::choose_and_decode() {
    if (header_.type == 0) {
        image_ = generic_application_icon();
        return;
    }
    const Choice choice = choose();
    image_ = decode_icon_image(choice.data, choice.width, choice.height);
    chosen_ = choice.index;
}

}  // namespace quillora
