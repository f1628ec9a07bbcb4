#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>

#include "app/frm_principal.h"
#include "platform/display.h"
#include "support/stored_settings.h"
#include "support/when_shown.h"
#include "tools/frm_screen.h"

namespace quillora {
namespace {

TEST(CaptureButton, ShowsTheViewerCentredOnTheMainWindowAndEmptiesItOnClose) {
    display::ScopedDisplay screen{32};
    testing::StoredSettings no_settings;
    Tform_principal window;
    window.create_windows();
    window.show();
    Tform_screen* viewer = window.screen();
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(viewer->isHidden());
    bool shown = false;
    testing::WhenShown<QWidget> answer([&](QWidget* modal) {
        shown = modal == viewer;
        // Within the frame's few pixels, unknown before the viewer first shows.
        EXPECT_LE(
            (viewer->frameGeometry().center() - window.frameGeometry().center()).manhattanLength(),
            8);
        ASSERT_TRUE(viewer->picture());
        EXPECT_EQ(viewer->picture()->bpp(), 32);
        EXPECT_FALSE(window.isMinimized());
        viewer->close();
    });
    window.findChild<QAbstractButton*>("b04")->click();
    EXPECT_TRUE(shown);
    EXPECT_EQ(viewer->picture(), nullptr);
    EXPECT_TRUE(viewer->isHidden());
}

}  // namespace
}  // namespace quillora
