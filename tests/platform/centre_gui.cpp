// Windows centred on the screen are centred by their outer size, frame
// included.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <QWindow>
#include <functional>
#include <memory>

#include "app/frm_principal.h"
#include "engine/frm_carregar.h"
#include "engine/frm_progresso.h"
#include "filelist/preview_qt.h"
#include "imaging/bmp.h"
#include "platform/centre_qt.h"
#include "support/fixtures.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

// Where the rule puts a window of this outer size.
QPoint centred(const QSize& outer) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return {screen.left() + (screen.width() - outer.width()) / 2,
            screen.top() + (screen.height() - outer.height()) / 2};
}

void expect_centred_by_frame(QWidget& window, const char* name) {
    window.show();
    QApplication::processEvents();
    const QRect frame = window.frameGeometry();
    // The platform puts a frame around the window: the rule must see it.
    ASSERT_GT(frame.width(), window.width()) << name;
    ASSERT_GT(frame.height(), window.height()) << name;
    EXPECT_EQ(frame.topLeft(), centred(frame.size())) << name;
}

TEST(Centring, WindowsCentredOnTheScreenAreCentredByTheirFrame) {
    Tform_principal main;
    main.create_windows();
    expect_centred_by_frame(main, "Tform_principal");
    // Centred once: the window keeps a place the user gives it.
    main.move(10, 20);
    QApplication::processEvents();
    EXPECT_EQ(main.frameGeometry().topLeft(), QPoint(10, 20));

    main.carregar()->begin();
    expect_centred_by_frame(*main.carregar(), "Tform_carregar");
    main.carregar()->end();

    Tform_progresso progress;
    expect_centred_by_frame(progress, "Tform_progresso");

    testing::TempDir dir;
    write_bmp(testing::pattern_bitmap(300, 200), dir.file("p.bmp"));
    std::unique_ptr<QDialog> preview = make_preview(dir.file("p.bmp"));
    expect_centred_by_frame(*preview, "preview");
}

TEST(Centring, AFrameThatComesLaterCentresTheWindowAgainOnce) {
    QWidget window;
    window.resize(300, 100);
    // Before the window exists on the screen its frame is not known.
    ASSERT_EQ(window.windowHandle(), nullptr);
    centre_on_screen(window);
    EXPECT_EQ(window.pos(), centred(QSize(300, 100)));
    window.show();
    QApplication::processEvents();
    const QMargins frame = window.windowHandle()->frameMargins();
    ASSERT_FALSE(frame.isNull());
    EXPECT_EQ(window.frameGeometry().topLeft(), centred(window.frameGeometry().size()));
    // Shown again later, it stays where the user put it.
    window.move(30, 40);
    window.hide();
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(30, 40));
}

}  // namespace
}  // namespace quillora
