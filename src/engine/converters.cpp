#include "engine/converters.h"

#include "imaging/bitmap.h"
#include "imaging/bmp.h"
#include "imaging/ico.h"
#include "imaging/jpeg.h"
#include "platform/display.h"
#include "platform/files.h"

namespace quillora {

namespace {

// Buffers of the writers and other small pieces of one conversion.
constexpr std::uint64_t kWorkingBytes = std::uint64_t{1} << 20;

// The icon drawn on a white bitmap of the size the icon reports before it is
// drawn (the system icon size), with what drawing and `encoding` will hold
// taken from the budget first.
Bitmap draw_icon_file(const std::string& source, MemoryBudget& budget, MemoryBudget::Lease& lease,
                      bool encoding) {
    IconPicture icon = IconPicture::read(source);
    const int depth = display::screen_depth();
    lease = budget.acquire(
        icon.data().size() + kWorkingBytes + Bitmap::bytes_for(icon.width(), icon.height(), depth) +
        icon.draw_memory() + (encoding ? encode_jpeg_memory(icon.width(), icon.height()) : 0));
    Bitmap screen = create_screen_bitmap(icon.width(), icon.height());
    icon.draw(screen);
    return screen;
}

}  // namespace

ConvertResult convert_bmp_to_jpeg(const std::string& source, const std::string& stem,
                                  MemoryBudget& budget) {
    if (files::missing(source))
        return ConvertResult::Skipped;
    files::InputFile in(source);
    BmpFile file(in);
    MemoryBudget::Lease lease = budget.acquire(kWorkingBytes + file.pixel_bytes() +
                                               encode_jpeg_memory(file.width(), file.height()));
    Bitmap bitmap = file.read();
    encode_jpeg(bitmap, stem + ".jpg", source);
    return ConvertResult::Converted;
}

ConvertResult convert_jpeg_to_bmp(const std::string& source, const std::string& stem,
                                  MemoryBudget& budget) {
    if (files::missing(source))
        return ConvertResult::Skipped;
    JpegPicture jpeg = JpegPicture::read(source);
    const int depth = display::screen_depth();
    MemoryBudget::Lease lease = budget.acquire(
        jpeg.data().size() + kWorkingBytes + Bitmap::bytes_for(jpeg.width(), jpeg.height(), depth) +
        jpeg.draw_memory(jpeg.width(), jpeg.height(), depth));
    // A picture that decodes straight into the bitmap covers every pixel of
    // it: the white background would only be painted over.
    const int bpp = display::normalised_depth(depth);
    Bitmap screen = jpeg.decodes_straight_into(jpeg.width(), jpeg.height(), bpp, true)
                        ? Bitmap(jpeg.width(), jpeg.height(), bpp)
                        : create_screen_bitmap(jpeg.width(), jpeg.height(), depth);
    jpeg.draw(screen);
    write_bmp(screen, stem + ".bmp", source);
    return ConvertResult::Converted;
}

ConvertResult convert_ico_to_bmp(const std::string& source, const std::string& stem,
                                 MemoryBudget& budget) {
    MemoryBudget::Lease lease;
    write_bmp(draw_icon_file(source, budget, lease, false), stem + ".bmp", source);
    return ConvertResult::Converted;
}

ConvertResult convert_ico_to_jpeg(const std::string& source, const std::string& stem,
                                  MemoryBudget& budget) {
    // The drawn bitmap goes to the encoder straight from memory.
    MemoryBudget::Lease lease;
    encode_jpeg(draw_icon_file(source, budget, lease, true), stem + ".jpg", source);
    return ConvertResult::Converted;
}

ConvertResult convert_file(Mode mode, const std::string& source, const std::string& stem,
                           MemoryBudget& budget) {
    switch (mode) {
        case Mode::BmpToJpeg:
            return convert_bmp_to_jpeg(source, stem, budget);
        case Mode::JpegToBmp:
            return convert_jpeg_to_bmp(source, stem, budget);
        case Mode::IcoToBmp:
            return convert_ico_to_bmp(source, stem, budget);
        case Mode::IcoToJpeg:
            break;
    }
    return convert_ico_to_jpeg(source, stem, budget);
}

}  // namespace quillora
