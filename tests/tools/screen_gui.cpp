#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imaging/bmp.h"
#include "platform/display.h"
#include "platform/error.h"
#include "platform/portal_screenshot_qt.h"
#include "platform/wait_qt.h"
#include "settings/settings_store.h"
#include "support/bitmap_pixel.h"
#include "support/qt_print.h"
#include "support/scoped_env.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"
#include "tools/desktop_capture_qt.h"
#include "tools/frm_screen.h"

namespace quillora {
namespace {

using std::chrono::milliseconds;
using testing::pixel_at;

std::uint32_t le(const std::vector<std::uint8_t>& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes.at(at + static_cast<std::size_t>(i));
    return value;
}

void put_pixel(Bitmap& bitmap, int x, int y, std::uint32_t value) {
    const int bytes = bitmap.bpp() / 8;
    std::uint8_t* p = bitmap.row(y) + x * bytes;
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The colour a bitmap's pixel shows, as Qt writes colours.
QRgb colour_at(const Bitmap& bitmap, int x, int y) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.width()) * 3);
    row_to_bgr(bitmap, y, row.data());
    const std::uint8_t* p = row.data() + x * 3;
    return qRgb(p[2], p[1], p[0]);
}

bool near(QRgb a, QRgb b, int tolerance = 2) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

void settle() {
    responsive_wait(milliseconds(60));
}

// A plain window of one colour, on show at a known place.
struct ColouredWindow {
    explicit ColouredWindow(QColor colour, QRect geometry = {60, 70, 220, 160},
                            Qt::WindowFlags flags = {}) {
        window.setWindowFlags(window.windowFlags() | flags);
        window.setGeometry(geometry);
        window.setAutoFillBackground(true);
        paint(colour);
        window.show();
        settle();
    }
    void paint(QColor colour) {
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, colour);
        window.setPalette(palette);
        window.update();
    }
    // The middle of the window in the screen's device pixels.
    QPoint middle() const {
        const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
        return window.geometry().center() * ratio;
    }
    QWidget window;
};

using testing::ScopedEnv;

// Answers the modal viewer as a user would: `on_show` runs once the viewer is
// the modal window on show, then the viewer is closed with its close box.
// Until then `waiting` runs at every tick (the capture's wait included).
class ViewerAnswer {
  public:
    ViewerAnswer(Tform_screen& viewer, std::function<void()> on_show) {
        QObject::connect(&timer_, &QTimer::timeout, [this, &viewer, on_show] {
            if (QApplication::activeModalWidget() != &viewer || !viewer.isVisible())
                return;
            timer_.stop();
            shown = true;
            on_show();
            viewer.close();
        });
        timer_.start(5);
    }
    bool shown = false;

  private:
    QTimer timer_;
};

void double_click(QWidget* widget) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent event(QEvent::MouseButtonDblClick, at, widget->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

class ScreenViewer : public ::testing::Test {
  protected:
    template <class T = QWidget>
    T* child(const char* name) {
        T* found = viewer.findChild<T*>(name);
        EXPECT_TRUE(found) << name;
        return found;
    }
    const QImage& shown() { return child<ScreenImage>("image")->shown(); }

    display::ScopedDisplay screen{32};
    testing::TempDir dir;
    testing::ScriptedDialogs dialogs;
    Tform_screen viewer;
};

TEST_F(ScreenViewer, LayoutAndCaptions) {
    EXPECT_EQ(viewer.windowTitle(), "::: - Imagem Capturada - :::");
    EXPECT_EQ(viewer.size(), QSize(485, 348));
    EXPECT_EQ(viewer.minimumSize(), QSize(485, 348));
    EXPECT_EQ(viewer.maximumSize(), QSize(485, 348));
    EXPECT_FALSE(viewer.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(viewer.picture(), nullptr);

    const struct {
        const char* name;
        QRect place;
    } places[] = {
        {"s01", {0, 0, 485, 25}},  {"s02", {0, 323, 485, 25}},  {"image", {0, 25, 485, 298}},
        {"l01", {79, 5, 327, 16}}, {"l02", {79, 327, 327, 16}},
    };
    for (const auto& c : places) {
        QWidget* widget = child(c.name);
        ASSERT_TRUE(widget);
        EXPECT_EQ(widget->geometry(), c.place) << c.name;
    }
    for (const char* name : {"l01", "l02"}) {
        auto* label = child<QLabel>(name);
        ASSERT_TRUE(label);
        EXPECT_EQ(label->text(), QString::fromUtf8("Dê dois clique em cima da imagem para salvar"));
        // Bold, 13 pixels high where the face allows, and never cut.
        const QString text = label->text();
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(text), label->width()) << name;
        QFont at_13 = label->font();
        at_13.setPixelSize(13);
        if (QFontMetrics(at_13).horizontalAdvance(text) <= label->width())
            EXPECT_EQ(label->font().pixelSize(), 13) << name;
        else
            EXPECT_LT(label->font().pixelSize(), 13) << name;
        EXPECT_TRUE(label->font().bold()) << name;
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white)) << name;
        EXPECT_FALSE(label->autoFillBackground()) << name;
    }

    // As drawn: black bars with white text on them, the picture between.
    Bitmap picture = create_screen_bitmap(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            put_pixel(picture, x, y, screen_pixel(32, 30, 140, 200));
    viewer.set_picture(std::move(picture));
    const QImage drawn = viewer.grab().toImage();
    ASSERT_EQ(drawn.size(), QSize(485, 348));
    for (QPoint bar : {QPoint(2, 2), QPoint(482, 22), QPoint(2, 345), QPoint(482, 325)})
        EXPECT_EQ(QColor(drawn.pixel(bar)), QColor(Qt::black)) << bar.x() << "," << bar.y();
    for (QPoint inside : {QPoint(0, 25), QPoint(242, 170), QPoint(484, 322)})
        EXPECT_EQ(QColor(drawn.pixel(inside)), QColor(30, 140, 200))
            << inside.x() << "," << inside.y();
    for (QRect caption : {QRect(79, 5, 327, 16), QRect(79, 327, 327, 16)}) {
        int white = 0;
        for (int y = caption.top(); y <= caption.bottom(); ++y)
            for (int x = caption.left(); x <= caption.right(); ++x)
                white += drawn.pixel(x, y) == qRgb(255, 255, 255);
        EXPECT_GT(white, 0) << "caption at top " << caption.top();
    }
}

TEST_F(ScreenViewer, ShowsThePictureStretchedAtEveryDepth) {
    for (int depth : {32, 24, 16, 8}) {
        SCOPED_TRACE(depth);
        // Left half one colour, right half another, 4 x 3 pixels.
        Bitmap picture = create_screen_bitmap(4, 3, depth);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                put_pixel(
                    picture, x, y,
                    x < 2 ? screen_pixel(depth, 200, 40, 0) : screen_pixel(depth, 0, 80, 248));
        const QRgb left = colour_at(picture, 0, 0);
        const QRgb right = colour_at(picture, 3, 0);
        ASSERT_NE(left, right);
        viewer.set_picture(std::move(picture));
        ASSERT_NE(viewer.picture(), nullptr);
        EXPECT_EQ(viewer.picture()->bpp(), depth);
        EXPECT_EQ(viewer.picture()->width(), 4);

        // Both directions filled, proportions not kept.
        const QImage& image = shown();
        ASSERT_EQ(image.size(), QSize(485, 298));
        for (QPoint p : {QPoint(0, 0), QPoint(100, 150), QPoint(0, 297)})
            EXPECT_TRUE(near(image.pixel(p), left)) << p.x() << "," << p.y();
        for (QPoint p : {QPoint(484, 0), QPoint(380, 150), QPoint(484, 297)})
            EXPECT_TRUE(near(image.pixel(p), right)) << p.x() << "," << p.y();
    }
}

TEST_F(ScreenViewer, ClosingEmptiesIt) {
    const std::vector<std::pair<const char*, std::function<void(Tform_screen&)>>> ways = {
        {"close box", [](Tform_screen& v) { v.close(); }},
        {"escape", [](Tform_screen& v) { v.reject(); }},
        {"done", [](Tform_screen& v) { v.done(QDialog::Accepted); }},
    };
    for (const auto& [way, close] : ways) {
        SCOPED_TRACE(way);
        viewer.set_picture(create_screen_bitmap(30, 20));
        viewer.show();
        ASSERT_NE(viewer.picture(), nullptr);
        ASSERT_FALSE(shown().isNull());
        close(viewer);
        EXPECT_FALSE(viewer.isVisible());
        EXPECT_EQ(viewer.picture(), nullptr);
        EXPECT_TRUE(shown().isNull());
    }
    // An empty viewer has nothing to save and asks nothing.
    dialogs.capture_file = QString::fromStdString(dir.file("nada.bmp"));
    viewer.imageDblClick();
    EXPECT_TRUE(dialogs.capture_last.isEmpty());
    EXPECT_TRUE(dir.entries().empty());
}

TEST_F(ScreenViewer, SavesTheHeldPictureOnDoubleClick) {
    Bitmap picture = create_screen_bitmap(37, 11);
    put_pixel(picture, 3, 4, screen_pixel(32, 10, 20, 30));
    viewer.set_picture(std::move(picture));
    const std::vector<std::uint8_t> expected = encode_bmp(*viewer.picture());

    // Cancelled: nothing written.
    double_click(child("image"));
    EXPECT_EQ(dialogs.capture_last, QStringList{""});
    EXPECT_TRUE(dir.entries().empty());

    // Saved twice under two names: the same bytes, and the dialog starts
    // from the name chosen the last time.
    const std::string first = dir.file("primeira.bmp");
    const std::string second = dir.file("segunda.bmp");
    dialogs.capture_file = QString::fromStdString(first);
    double_click(child("image"));
    dialogs.capture_file = QString::fromStdString(second);
    viewer.imageDblClick();
    EXPECT_EQ(testing::read_bytes(first), expected);
    EXPECT_EQ(testing::read_bytes(second), expected);
    EXPECT_EQ(dialogs.capture_last, (QStringList{"", "", QString::fromStdString(first)}));

    // A cancelled save keeps the last name for the next one.
    dialogs.capture_file.reset();
    viewer.imageDblClick();
    EXPECT_EQ(dialogs.capture_last.last(), QString::fromStdString(second));

    // An existing file is replaced without a question.
    const std::string old = dir.write("velha.bmp", std::string(100000, 'x'));
    dialogs.capture_file = QString::fromStdString(old);
    viewer.imageDblClick();
    EXPECT_EQ(testing::read_bytes(old), expected);
    EXPECT_TRUE(dialogs.warnings.isEmpty());
    EXPECT_EQ(dir.entries(),
              (std::vector<std::string>{"primeira.bmp", "segunda.bmp", "velha.bmp"}));
    // Other mouse buttons do not save.
    dialogs.capture_last.clear();
    const QPointF at(10, 10);
    QMouseEvent right(QEvent::MouseButtonDblClick, at, child("image")->mapToGlobal(at),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(child("image"), &right);
    EXPECT_TRUE(dialogs.capture_last.isEmpty());
}

TEST_F(ScreenViewer, ASaveFailureIsAWarningAndTheCaptureStays) {
    viewer.set_picture(create_screen_bitmap(5, 5));
    const std::string missing = dir.file("sem-pasta/captura.bmp");
    dialogs.capture_file = QString::fromStdString(missing);
    viewer.imageDblClick();
    ASSERT_EQ(dialogs.warnings.size(), 1);
    EXPECT_TRUE(dialogs.warnings[0].startsWith("Cannot create file \""))
        << qPrintable(dialogs.warnings[0]);
    EXPECT_TRUE(dir.entries().empty());
    // The viewer still holds its picture, which saves under another name.
    ASSERT_NE(viewer.picture(), nullptr);
    dialogs.capture_file = QString::fromStdString(dir.file("captura.bmp"));
    viewer.imageDblClick();
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"captura.bmp"});
}

// The saved file: 14 + 40 header bytes (and the colour table at 8 bits),
// rows padded to 4 bytes, positive height, the bottom row stored first.
TEST_F(ScreenViewer, SavedFileLayout) {
    const struct {
        int depth, width, height;
        std::size_t stride;
    } cases[] = {
        {32, 1920, 1080, 7680}, {32, 3, 2, 12},     {24, 1366, 3, 4100},
        {24, 5, 2, 16},         {24, 4, 2, 12},     {16, 1365, 2, 2732},
        {16, 1366, 2, 2732},    {8, 1366, 2, 1368}, {8, 5, 3, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.depth << " bits, " << c.width << " x " << c.height);
        display::ScopedDisplay depth(c.depth);
        Bitmap picture = create_screen_bitmap(c.width, c.height);
        ASSERT_EQ(picture.bpp(), c.depth);
        const std::uint32_t bottom = screen_pixel(c.depth, 250, 0, 0);
        const std::uint32_t top = screen_pixel(c.depth, 0, 0, 250);
        put_pixel(picture, 0, c.height - 1, bottom);
        put_pixel(picture, 0, 0, top);
        viewer.set_picture(std::move(picture));

        const std::string path = dir.file("tela.bmp");
        dialogs.capture_file = QString::fromStdString(path);
        viewer.imageDblClick();
        const std::vector<std::uint8_t> file = testing::read_bytes(path);
        const std::size_t table = c.depth == 8 ? 256 * 4 : 0;
        const std::size_t offset = 54 + table;
        ASSERT_EQ(file.size(), offset + c.stride * static_cast<std::size_t>(c.height));
        EXPECT_EQ(le(file, 0, 2), 0x4D42u);  // "BM"
        EXPECT_EQ(le(file, 2, 4), file.size());
        EXPECT_EQ(le(file, 10, 4), offset);
        EXPECT_EQ(le(file, 14, 4), 40u);
        EXPECT_EQ(static_cast<std::int32_t>(le(file, 18, 4)), c.width);
        EXPECT_EQ(static_cast<std::int32_t>(le(file, 22, 4)), c.height);
        EXPECT_EQ(le(file, 28, 2), static_cast<std::uint32_t>(c.depth));
        EXPECT_EQ(le(file, 30, 4), 0u);  // no compression
        const int bytes = c.depth / 8;
        EXPECT_EQ(le(file, offset, bytes), bottom);
        EXPECT_EQ(le(file, offset + c.stride * static_cast<std::size_t>(c.height - 1), bytes), top);
    }
}

class ScreenCapture : public ScreenViewer {
  protected:
    void SetUp() override {
        set_pacing_second(milliseconds(150));
        // A desktop session's variables would change what counts as a refusal.
        wayland_display.emplace("WAYLAND_DISPLAY", nullptr);
        session_type.emplace("XDG_SESSION_TYPE", nullptr);
        // No desktop portal answers here (the portal's own tests give one).
        set_portal_bus_name(QStringLiteral("quillora-no-bus"));
    }
    void TearDown() override {
        set_pacing_second(second_);
        set_portal_bus_name(QString());
    }

    // A settings file holding these lines of values (none when empty).
    settings::SettingsStore settings_with(const std::string& values) {
        const std::string file = dir.write(
            "Config.reg", values.empty() ? std::string()
                                         : "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillora\\"
                                           "Config]\n" +
                                               values);
        return settings::SettingsStore(file);
    }

    static QSize screen_pixels() {
        const QScreen* primary = QGuiApplication::primaryScreen();
        return primary->geometry().size() * primary->devicePixelRatio();
    }

    milliseconds second_ = pacing_second();
    std::optional<ScopedEnv> wayland_display, session_type;
};

TEST_F(ScreenCapture, GrabIsThePrimaryScreenAtTheScreenDepth) {
    ColouredWindow window(QColor(16, 168, 96));
    for (int depth : {32, 24, 16, 8}) {
        SCOPED_TRACE(depth);
        display::ScopedDisplay screen_depth(depth);
        const Bitmap grabbed = grab_primary_screen();
        EXPECT_EQ(grabbed.bpp(), depth);
        EXPECT_EQ(QSize(grabbed.width(), grabbed.height()), screen_pixels());
        EXPECT_FALSE(grabbed.top_down());
        if (depth == 8) {
            EXPECT_EQ(grabbed.palette(), screen_palette_8bit());
        }
        const QPoint middle = window.middle();
        EXPECT_EQ(pixel_at(grabbed, middle.x(), middle.y()), screen_pixel(depth, 16, 168, 96));
    }
}

TEST_F(ScreenCapture, MinimisesOnlyWhenTheSettingSaysSo) {
    const struct {
        const char* values;
        bool minimises;
    } cases[] = {
        {"", false},
        {"\"Minimizar\"=dword:00000000\n", false},
        {"\"Minimizar\"=dword:00000002\n", false},
        {"\"Minimizar\"=dword:ffffffff\n", false},
        {"\"Minimizar\"=dword:00000001\n", true},
        {"\"Minimizar\"=\"1\"\n", true},  // a text that reads as 1
    };
    const QColor colours[] = {{200, 16, 40},  {40, 200, 16},  {16, 40, 200},
                              {200, 200, 16}, {16, 200, 200}, {200, 16, 200}};
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.values);
        const QColor colour = colours[round++];
        ColouredWindow window(colour);
        const settings::SettingsStore REG = settings_with(c.values);
        bool minimised_at_grab = false, minimised_on_show = true;
        // Looked at from inside the capture, right before it grabs.
        set_before_grab([&] { minimised_at_grab = window.window.isMinimized(); });
        std::optional<QRgb> pictured;
        QSize size;
        ViewerAnswer answer(viewer, [&] {
            minimised_on_show = window.window.isMinimized();
            ASSERT_NE(viewer.picture(), nullptr);
            size = {viewer.picture()->width(), viewer.picture()->height()};
            const QPoint middle = window.middle();
            pictured = colour_at(*viewer.picture(), middle.x(), middle.y());
        });
        capture_desktop(REG, viewer);
        set_before_grab({});
        ASSERT_TRUE(answer.shown);
        EXPECT_EQ(minimised_at_grab, c.minimises);
        EXPECT_FALSE(minimised_on_show);
        EXPECT_FALSE(window.window.isMinimized());
        EXPECT_TRUE(window.window.isVisible());
        EXPECT_EQ(size, screen_pixels());
        // The offscreen platform keeps painting minimised windows, so only
        // the windows left on show can be looked for in the picture.
        if (!c.minimises) {
            ASSERT_TRUE(pictured);
            EXPECT_EQ(QColor(*pictured), colour);
        }
        EXPECT_EQ(viewer.picture(), nullptr);
        EXPECT_TRUE(dialogs.warnings.isEmpty());
    }
}

TEST_F(ScreenCapture, RestoresWindowsMinimisedBeforeAndKeepsTheirState) {
    // Minimised by the user before the capture, with the setting off: the
    // capture still restores it before the viewer shows.
    ColouredWindow minimised(QColor(90, 10, 10));
    minimised.window.showMinimized();
    ColouredWindow maximised(QColor(10, 90, 10), {300, 300, 100, 100});
    maximised.window.showMaximized();
    // A window manager takes its time to carry out both.
    responsive_wait(milliseconds(300));
    ASSERT_TRUE(minimised.window.isMinimized());
    ASSERT_TRUE(maximised.window.isMaximized());
    bool restored_on_show = false;
    ViewerAnswer answer(viewer, [&] {
        restored_on_show = !minimised.window.isMinimized() && !maximised.window.isMinimized();
    });
    capture_desktop(settings_with("\"Minimizar\"=dword:00000001\n"), viewer);
    ASSERT_TRUE(answer.shown);
    EXPECT_TRUE(restored_on_show);
    EXPECT_FALSE(minimised.window.isMinimized());
    // Restoring brings a maximised window back maximised.
    EXPECT_TRUE(maximised.window.isMaximized());
}

TEST_F(ScreenCapture, SavedCaptureIsTheScreenBitmapAtEachDepth) {
    ColouredWindow window(QColor(24, 232, 120));
    for (int depth : {32, 24, 16, 8}) {
        SCOPED_TRACE(depth);
        display::ScopedDisplay screen_depth(depth);
        const std::string path = dir.file("captura-" + std::to_string(depth) + ".bmp");
        std::vector<std::uint8_t> expected;
        std::uint32_t middle_pixel = 0;
        ViewerAnswer answer(viewer, [&] {
            ASSERT_NE(viewer.picture(), nullptr);
            expected = encode_bmp(*viewer.picture());
            const QPoint middle = window.middle();
            middle_pixel = pixel_at(*viewer.picture(), middle.x(), middle.y());
            dialogs.capture_file = QString::fromStdString(path);
            double_click(viewer.findChild<QWidget*>("image"));
        });
        capture_desktop(settings_with(""), viewer);
        ASSERT_TRUE(answer.shown);
        EXPECT_EQ(middle_pixel, screen_pixel(depth, 24, 232, 120));
        const std::vector<std::uint8_t> file = testing::read_bytes(path);
        EXPECT_EQ(file, expected);
        const QSize size = screen_pixels();
        const std::size_t offset = 54 + (depth == 8 ? 1024 : 0);
        ASSERT_GE(file.size(), 54u);
        EXPECT_EQ(le(file, 10, 4), offset);
        EXPECT_EQ(static_cast<std::int32_t>(le(file, 18, 4)), size.width());
        EXPECT_EQ(static_cast<std::int32_t>(le(file, 22, 4)), size.height());
        EXPECT_EQ(le(file, 28, 2), static_cast<std::uint32_t>(depth));
        EXPECT_EQ(file.size(), offset + Bitmap::stride_for(size.width(), depth) *
                                            static_cast<std::size_t>(size.height()));
    }
}

TEST_F(ScreenCapture, EachCaptureShowsTheScreenAsItIsNow) {
    ColouredWindow window(QColor(120, 60, 230));
    for (QColor colour : {QColor(120, 60, 230), QColor(230, 120, 60)}) {
        window.paint(colour);
        settle();
        QColor pictured;
        ViewerAnswer answer(viewer, [&] {
            ASSERT_NE(viewer.picture(), nullptr);
            const QPoint middle = window.middle();
            pictured = QColor(colour_at(*viewer.picture(), middle.x(), middle.y()));
        });
        capture_desktop(settings_with(""), viewer);
        ASSERT_TRUE(answer.shown);
        EXPECT_EQ(pictured, colour);
        // Nothing is held between captures.
        EXPECT_EQ(viewer.picture(), nullptr);
        EXPECT_TRUE(viewer.findChild<ScreenImage*>("image")->shown().isNull());
    }
}

// A Wayland session takes the picture from the desktop portal only, and none
// answers here: a warning instead of a viewer, and the windows come back. On
// X11 a black desktop is a picture like any other.
TEST_F(ScreenCapture, RefusedGrabWarnsInsteadOfShowing) {
    const struct {
        const char* wayland_display;
        const char* session_type;
        QColor colour;
        const char* minimise;
        bool refused;
    } cases[] = {
        // A black desktop is a picture too.
        {nullptr, nullptr, Qt::black, "dword:00000001", false},
        {"wayland-0", nullptr, Qt::black, "dword:00000001", true},
        {nullptr, "wayland", Qt::black, "dword:00000001", true},
        {"wayland-0", nullptr, Qt::black, "dword:00000000", true},
        {"", "x11", Qt::black, "dword:00000001", false},
        {"wayland-0", nullptr, QColor(70, 130, 20), "dword:00000000", true},
        {"", "x11", QColor(70, 130, 20), "dword:00000000", false},
    };
    // A black window over the whole screen makes the picture all black (the
    // offscreen platform leaves parts no window covers undefined, so the
    // window has no frame that would push it off the corner).
    const QSize whole = QGuiApplication::primaryScreen()->geometry().size();
    ColouredWindow window(Qt::black, QRect(QPoint(0, 0), whole), Qt::FramelessWindowHint);
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.wayland_display ? c.wayland_display : "-") << " "
                                          << (c.session_type ? c.session_type : "-") << " "
                                          << c.colour.name().toStdString());
        ScopedEnv display_variable("WAYLAND_DISPLAY", c.wayland_display);
        ScopedEnv session_variable("XDG_SESSION_TYPE", c.session_type);
        window.paint(c.colour);
        settle();
        dialogs.warnings.clear();
        ViewerAnswer answer(viewer, [] {});
        capture_desktop(settings_with(std::string("\"Minimizar\"=") + c.minimise + "\n"), viewer);
        EXPECT_EQ(answer.shown, !c.refused);
        EXPECT_EQ(grab_primary_screen().empty(), c.refused);
        EXPECT_EQ(dialogs.warnings,
                  c.refused
                      ? QStringList{QString::fromUtf8("Este sistema não permite capturar a tela.")}
                      : QStringList{});
        EXPECT_FALSE(window.window.isMinimized());
        EXPECT_EQ(viewer.picture(), nullptr);
    }
}

}  // namespace
}  // namespace quillora
