// Loading a picture of the kind its file extension names.
#pragma once

#include <memory>
#include <string>

#include "imaging/picture.h"

namespace quillora {

// "bmp": a bitmap; "ico": an icon picture; "jpg", "jpeg": a JPEG picture (the
// extension in any case). Metafiles ("wmf", "emf") are recognised but cannot
// be read here. Any other extension, the empty one included, fails with
// "Unknown picture file extension (.%s)" and the extension as written.
std::unique_ptr<Picture> load_picture(const std::string& path);

}  // namespace quillora
