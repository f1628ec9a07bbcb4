// ICO files: the icon picture, its directory and the choice of the image to
// show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/icon_image.h"
#include "imaging/picture.h"
#include "platform/display.h"

namespace quillora {

// One 16-byte directory entry of an icon file (the same facts describe the
// images of an icon group inside an executable).
struct IconEntry {
    std::uint8_t width = 0;         // 0 stands for 256 pixels
    std::uint8_t height = 0;        // 0 stands for 256 pixels
    std::uint8_t colour_count = 0;  // 0: no limit stated
    std::uint8_t reserved = 0;
    std::uint16_t planes = 0;
    std::uint16_t bit_count = 0;
    std::uint32_t bytes = 0;   // size of the image data
    std::uint32_t offset = 0;  // from the start of the file
};

// The pixel size an entry's width or height byte stands for (0 is 256).
inline int icon_entry_pixels(std::uint8_t size_byte) noexcept {
    return size_byte == 0 ? 256 : size_byte;
}

// A colour count or limit without bound.
inline constexpr std::uint64_t kUnlimitedColours = std::numeric_limits<std::uint64_t>::max();

// The colour limit for a screen depth: 2^depth for 8 bits per pixel or less,
// no limit otherwise.
std::uint64_t icon_colour_limit(int screen_depth) noexcept;

// The bits per pixel an entry's image declares in its own header, asked for
// entry `index` only when its bit-count field is 0 and the tie rule needs it
// (0: unknown).
using IconImageBits = std::function<unsigned(std::size_t index)>;

// Chooses the entry to show for a wanted size on a screen of `screen_depth`
// bits per pixel. The first entry is the starting choice; each later entry,
// in order, replaces the choice when its colour count (byte 0: unlimited)
// does not exceed the colour limit (icon_colour_limit) and is not smaller
// than the choice's, and when for the width and for the height alike (bytes
// as they stand, 0 counting as 0) its distance from the wanted size is not
// greater than the choice's and it is not larger than the wanted size or not
// larger than the choice.
// Two entries of the same colour count and size tie by that rule; of those
// the one with more bits per pixel (the bit-count field, or image_bits when
// that is 0), counted up to the screen depth, wins, and on equal bits the
// later one, so that the directory's order does not decide between a 256-
// colour and a true-colour image. Returns the index of the chosen entry;
// fails with "Icon image is not valid" when there is no entry.
std::size_t choose_icon_entry(std::span<const IconEntry> entries, display::Size wanted,
                              int screen_depth, const IconImageBits& image_bits = {});

// The icon file header.
struct IconFileHeader {
    std::uint16_t reserved = 0;
    std::uint16_t type = 0;  // 1 icon, 0 shows the generic application icon
    std::uint16_t count = 0;
};

// Reads the 6-byte header: "Stream read error" when the data is shorter.
IconFileHeader read_icon_file_header(std::span<const std::uint8_t> data);

// Reads the directory of `count` entries after the header: "Icon image is
// not valid" when the data ends inside it.
std::vector<IconEntry> read_icon_directory(std::span<const std::uint8_t> data);

// An icon file held in memory. The header is checked when the picture is
// made; the image is chosen and decoded at the first draw and kept. A PNG
// picture (as many favicon.ico files are) is an icon file of that one image.
class IconPicture final : public Picture {
  public:
    // Fails with "Stream read error" for data shorter than 6 bytes and with
    // "Icon image is not valid" for a type greater than 1. Data that starts
    // with the PNG signature counts as an icon file (type 1) of one image.
    explicit IconPicture(std::vector<std::uint8_t> data);
    // Reads a whole file ("Cannot open file "%s". %s").
    static IconPicture read(const std::string& path);

    // The system icon size until an image is chosen, then the image's size.
    int width() const override;
    int height() const override;

    // Chooses and decodes the image if not yet done, then draws it (draw_icon).
    // Type 0 draws the generic application icon. Fails with "Icon image is
    // not valid" when the directory has no entry, is cut short or the chosen
    // entry's data lies outside the file; image data that cannot be decoded
    // fails as decode_icon_image says.
    void draw(Bitmap& target) override;

    // Chooses and decodes the image if not yet done; returns it.
    const IconImage& image();

    // The memory draw() takes besides the target: the chosen image decoded
    // (icon_image_memory), read from its header; 0 once decoded, or when
    // drawing fails before holding anything.
    std::uint64_t draw_memory() const noexcept;

    std::uint16_t type() const noexcept { return header_.type; }
    // The index of the chosen entry, once chosen (never for type 0).
    std::optional<std::size_t> chosen_index() const noexcept { return chosen_; }
    const std::vector<std::uint8_t>& data() const noexcept { return data_; }

  private:
    // The image to show: its entry, its data and the size it is decoded at
    // (0: its own).
    struct Choice {
        std::size_t index;
        std::span<const std::uint8_t> data;
        int width, height;
    };
    // The entry to show and its image data ("Icon image is not valid" when
    // there is none or it lies outside the file); a PNG picture's one image.
    Choice choose() const;
    void choose_and_decode();

    std::vector<std::uint8_t> data_;
    bool png_;  // a PNG picture rather than an icon file
    IconFileHeader header_;
    std::optional<IconImage> image_;
    std::optional<std::size_t> chosen_;
};

}  // namespace quillora
