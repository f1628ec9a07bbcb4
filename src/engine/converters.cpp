#include "engine/converters.h"

#include "imaging/bitmap.h"
#include "imaging/bmp.h"
#include "imaging/ico.h"
#include "imaging/jpeg.h"
#include "platform/files.h"

namespace quillora {

namespace {

// The icon drawn on a white bitmap of the size the icon reports before it is
// drawn: the system icon size.
Bitmap draw_icon_file(const std::string& source) {
    IconPicture icon = IconPicture::read(source);
    Bitmap screen = create_screen_bitmap(icon.width(), icon.height());
    icon.draw(screen);
    return screen;
}

}  // namespace

ConvertResult convert_bmp_to_jpeg(const std::string& source, const std::string& stem) {
    if (files::missing(source))
        return ConvertResult::Skipped;
    Bitmap bitmap = read_bmp(source);
    encode_jpeg(bitmap, stem + ".jpg", source);
    return ConvertResult::Converted;
}

ConvertResult convert_jpeg_to_bmp(const std::string& source, const std::string& stem) {
    if (files::missing(source))
        return ConvertResult::Skipped;
    JpegPicture jpeg = JpegPicture::read(source);
    Bitmap screen = create_screen_bitmap(jpeg.width(), jpeg.height());
    jpeg.draw(screen);
    write_bmp(screen, stem + ".bmp", source);
    return ConvertResult::Converted;
}

ConvertResult convert_ico_to_bmp(const std::string& source, const std::string& stem) {
    write_bmp(draw_icon_file(source), stem + ".bmp", source);
    return ConvertResult::Converted;
}

ConvertResult convert_ico_to_jpeg(const std::string& source, const std::string& stem) {
    // The drawn bitmap goes to the encoder straight from memory.
    encode_jpeg(draw_icon_file(source), stem + ".jpg", source);
    return ConvertResult::Converted;
}

ConvertResult convert_file(Mode mode, const std::string& source, const std::string& stem) {
    switch (mode) {
        case Mode::BmpToJpeg:
            return convert_bmp_to_jpeg(source, stem);
        case Mode::JpegToBmp:
            return convert_jpeg_to_bmp(source, stem);
        case Mode::IcoToBmp:
            return convert_ico_to_bmp(source, stem);
        case Mode::IcoToJpeg:
            break;
    }
    return convert_ico_to_jpeg(source, stem);
}

}  // namespace quillora
