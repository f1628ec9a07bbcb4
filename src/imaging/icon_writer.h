// The icon file writer: counts the icons a file holds, and writes one icon
// as a one-image ICO file at the depth of its colour bitmap, followed by its
// 1-bit mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/dib.h"
#include "imaging/icon_image.h"

namespace quillora {

namespace files {
class OutputFile;
}

// Where the encoder writes. Each block goes out with one call of write(), in
// order, at the stream's current position.
class IconStream {
  public:
    virtual ~IconStream() = default;
    virtual void write(const void* data, std::size_t n) = 0;
};

// Appends to a block of memory.
class MemoryIconStream final : public IconStream {
  public:
    void write(const void* data, std::size_t n) override;
    std::vector<std::uint8_t> bytes;
};

// Writes to a file being written (not committed by the stream).
class FileIconStream final : public IconStream {
  public:
    explicit FileIconStream(files::OutputFile& file) noexcept : file_(file) {}
    void write(const void* data, std::size_t n) override;

  private:
    files::OutputFile& file_;
};

// ---------------------------------------------------------------------------
// Counting

// The platform's count of the icons a file holds (icon extraction with the
// index -1): 0 when it holds none or cannot be read.
using IconCountSource = std::function<int(const std::string& path)>;

// Installs the count used by the one-argument CountIconsInFile (the icon
// reader for executables, set once by the program). An empty function
// removes it.
void set_icon_count_source(IconCountSource source);

// The number of icons the file at `path` holds, as the source counts them:
// 0 when it holds none, cannot be read, or the source fails or gives a
// negative count. Raises nothing.
int CountIconsInFile(const std::string& path, const IconCountSource& source) noexcept;
// The same with the installed source; 0 while none is installed.
int CountIconsInFile(const std::string& path) noexcept;

// ---------------------------------------------------------------------------
// Writing

// The error the platform reports for an icon that is not there (a null or
// empty icon): "System Error.  Code: 1402.\r\nInvalid cursor handle."
inline constexpr int kInvalidIconHandleCode = 1402;
inline constexpr std::string_view kInvalidIconHandleText = "Invalid cursor handle.";

// Writes `icon` to the file at `path` as a one-image icon file. The path is
// expanded to a full path first. The file is created before the icon is
// examined ("Cannot create file "%s". %s") and appears only when complete:
// on any failure an existing file of that name is left untouched. The icon
// is only read.
void SaveIconAsIcoFile(const IconImage* icon, const std::string& path);
inline void SaveIconAsIcoFile(const IconImage& icon, const std::string& path) {
    SaveIconAsIcoFile(&icon, path);
}

// Splits the icon into its colour bitmap and mask and writes them with
// EncodeIconBitmaps. A null icon, or one with neither a colour bitmap nor a
// mask, fails with the system error for an invalid icon handle (see
// kInvalidIconHandleCode) before anything is written. A 32-bit colour
// bitmap of an icon without alpha is written with its fourth bytes cleared,
// so that readers do not take leftovers there for alpha.
void EncodeIconToStream(IconStream& stream, const IconImage* icon);
inline void EncodeIconToStream(IconStream& stream, const IconImage& icon) {
    EncodeIconToStream(stream, &icon);
}

// Writes the icon file (6-byte header, one 16-byte directory entry, the
// colour description with its colour table or channel masks and a height of
// twice the icon's, the colour rows and the mask rows, both bottom row first)
// at the stream's position. A missing (null or empty) colour bitmap or mask,
// a mask that is not 1 bit deep or not the colour bitmap's size, fail with
// "Bitmap image is not valid" before anything is written.
void EncodeIconBitmaps(IconStream& stream, const Bitmap* colour, const Bitmap* mask);

// ---------------------------------------------------------------------------
// The prepared description of one bitmap (exposed for tests).

using IconBitmapHeader = dib::InfoHeader;  // rows are always given bottom row first

// The header of a bitmap: its depth never changed; a colour count of its
// own when its colour table is shorter than 2^depth; bit fields for 16 and
// 32-bit pixels whose channel masks are not the default ones. Fails with
// "Bitmap image is not valid" for a missing (null or empty) bitmap.
IconBitmapHeader prepare_icon_bitmap_header(const Bitmap* bitmap);

// Bytes of the description: the 40-byte header plus 4 bytes per colour-table
// entry for 8 bits or fewer, or plus 12 for the three channel masks when
// the compression has either of its two low bits set.
std::size_t icon_description_size(const IconBitmapHeader& header) noexcept;

}  // namespace quillora
