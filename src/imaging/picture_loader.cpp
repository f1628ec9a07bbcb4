#include "imaging/picture_loader.h"

#include <algorithm>

#include "imaging/bmp.h"
#include "imaging/ico.h"
#include "imaging/jpeg.h"
#include "platform/error.h"

namespace quillora {

namespace {

// The text after the last "." of the file name, without the dot.
std::string extension_of(const std::string& path) {
    std::size_t name = path.find_last_of('/');
    name = name == std::string::npos ? 0 : name + 1;
    std::size_t dot = path.rfind('.');
    return dot == std::string::npos || dot < name ? std::string() : path.substr(dot + 1);
}

}  // namespace

std::unique_ptr<Picture> load_picture(const std::string& path) {
    const std::string written = extension_of(path);
    std::string ext = written;
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    });
    if (ext == "bmp")
        return std::make_unique<BitmapPicture>(read_bmp(path));
    if (ext == "ico")
        return std::make_unique<IconPicture>(IconPicture::read(path));
    if (ext == "jpg" || ext == "jpeg")
        return std::make_unique<JpegPicture>(JpegPicture::read(path));
    if (ext == "wmf" || ext == "emf") {
        throw Error("Metafile pictures (." + written + ") cannot be shown on this system");
    }
    throw Error("Unknown picture file extension (." + written + ")");
}

}  // namespace quillora
