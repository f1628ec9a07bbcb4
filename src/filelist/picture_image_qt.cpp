#include "filelist/picture_image_qt.h"

#include <cstdint>

#include "filelist/thumbnail.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_scaled.h"
#include "imaging/picture_loader.h"
#include "platform/error.h"

namespace quillora {

QImage image_from_bitmap(const Bitmap& bitmap) {
    if (bitmap.empty())
        return {};
    QImage image(bitmap.width(), bitmap.height(), QImage::Format_RGB32);
    if (image.isNull())
        throw Error(std::string(kOutOfResources));
    const int width = bitmap.width();
    for (int y = 0; y < bitmap.height(); ++y) {
        // B,G,R,0 quads read as 0x00RRGGBB; Qt wants 0xffRRGGBB.
        auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        row_to_bgrx(bitmap, y, reinterpret_cast<std::uint8_t*>(out));
        for (int x = 0; x < width; ++x)
            out[x] |= 0xFF000000u;
    }
    return image;
}

QImage picture_to_image(Picture& picture) {
    const int width = picture.width();
    const int height = picture.height();
    if (width <= 0 || height <= 0)
        return {};
    Bitmap canvas = create_screen_bitmap(width, height, 32);
    picture.draw(canvas);
    return image_from_bitmap(canvas);
}

QImage thumbnail_image(Picture& picture) {
    const int width = picture.width();
    const int height = picture.height();
    const display::Size size = thumbnail_size(width, height);
    if (size.width <= 0 || size.height <= 0)
        return {};
    QImage image;
    auto* jpeg = dynamic_cast<JpegPicture*>(&picture);
    if (jpeg && !jpeg->is_decoded() && jpeg_scale_divisor(width, height, size) > 1) {
        // Only 91 x 53 pixels are shown: decode at the smallest reduction that
        // still has at least that many, then scale the rest of the way.
        image = image_from_bitmap(decode_jpeg_scaled(jpeg->data(), size));
    } else {
        image = picture_to_image(picture);
    }
    if (image.width() == size.width && image.height() == size.height)
        return image;
    return image.scaled(size.width, size.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage thumbnail_image(const std::string& path) {
    std::unique_ptr<Picture> picture = load_picture(path);
    return thumbnail_image(*picture);
}

}  // namespace quillora
