#include "imaging/ico.h"

#include <utility>

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
                              std::uint64_t colour_limit) {
    if (entries.empty())
        fail(kIconNotValid);
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
    : data_(std::move(data)), header_(read_icon_file_header(data_)) {
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
    const std::vector<IconEntry> entries = read_icon_directory(data_);
    if (entries.empty())
        fail(kIconNotValid);
    const std::size_t index = choose_icon_entry(entries, display::system_icon_size(),
                                                icon_colour_limit(display::screen_depth()));
    const IconEntry& entry = entries[index];
    const ByteView image = ByteView(data_, kIconNotValid).sub(entry.offset, entry.bytes);
    return {index, entry, image.span()};
}

std::uint64_t IconPicture::draw_memory() const noexcept {
    if (image_)
        return 0;
    if (header_.type == 0)
        return 4096;  // the generic application icon
    try {
        const Choice choice = choose();
        return icon_image_memory(choice.data, icon_entry_pixels(choice.entry.width),
                                 icon_entry_pixels(choice.entry.height));
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
    image_ = decode_icon_image(choice.data, icon_entry_pixels(choice.entry.width),
                               icon_entry_pixels(choice.entry.height));
    chosen_ = choice.index;
}

}  // namespace quillora
