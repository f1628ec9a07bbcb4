// Pictures as Qt images: the whole picture, and the information panel's
// thumbnail of a file.
#pragma once

#include <QImage>
#include <string>

#include "imaging/bitmap.h"
#include "imaging/picture.h"

namespace quillora {

// A bitmap of any depth as an opaque QImage::Format_RGB32 image, row by row.
// An empty bitmap gives a null image.
QImage image_from_bitmap(const Bitmap& bitmap);

// The picture drawn on a white 32-bit screen bitmap of its own size, as an
// RGB32 image (one copy of the pixels after drawing). A picture of width or
// height 0 gives a null image. Failures of the picture's drawing propagate.
QImage picture_to_image(Picture& picture);

// The thumbnail of a picture: thumbnail_size() of its size, smoothly scaled
// down from the drawn picture (never enlarged), to be shown from the
// top-left corner. A JPEG picture much larger than the thumbnail is decoded
// at a reduced scale first. Null when a side of the thumbnail is 0.
QImage thumbnail_image(Picture& picture);

// Loads the file as a picture of the kind its extension names (load_picture)
// and makes its thumbnail. Loading and decoding failures propagate.
QImage thumbnail_image(const std::string& path);

}  // namespace quillora
