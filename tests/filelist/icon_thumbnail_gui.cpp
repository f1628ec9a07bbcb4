#include <gtest/gtest.h>

#include "filelist/picture_image_qt.h"
#include "platform/display.h"
#include "support/fixtures.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

// The information panel's thumbnail of an icon is the icon drawn on a white
// bitmap of the system icon size: an image larger than that is reduced to
// fit it, keeping its shape, rather than cut.
TEST(IconThumbnail, LargerImagesAreReducedNotCut) {
    display::ScopedDisplay screen(32);
    testing::TempDir dir;
    const QImage thumbnail =
        thumbnail_image(dir.write("wide.ico", testing::solid_icon_file(64, 32, 0x0000FF)));
    ASSERT_EQ(thumbnail.size(), QSize(32, 32));
    EXPECT_EQ(thumbnail.pixel(31, 15), qRgb(0, 0, 255));
    EXPECT_EQ(thumbnail.pixel(0, 16), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace quillora
