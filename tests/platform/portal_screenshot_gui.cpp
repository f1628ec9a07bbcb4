// The screen capture of a Wayland session, through a desktop portal of the
// test's own on a private session bus.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QImage>
#include <QPainter>
#include <QUrl>
#include <QVariantMap>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/display.h"
#include "platform/portal_screenshot_qt.h"
#include "settings/settings_store.h"
#include "support/bitmap_pixel.h"
#include "support/private_bus.h"
#include "support/scoped_env.h"
#include "support/scripted_dialogs.h"
#include "support/temp_dir.h"
#include "support/when_shown.h"
#include "tools/desktop_capture_qt.h"
#include "tools/frm_screen.h"

namespace quillora {
namespace {

using testing::ScopedEnv;

const QString kCapturer = QStringLiteral("quillora-capture");
const QString kPortalSide = QStringLiteral("quillora-fake-portal");

// The portal's Screenshot interface as a desktop offers it: takes the
// request, answers it later with a Response signal on the request object.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
  public:
    explicit FakePortal(QDBusConnection bus) : bus_(std::move(bus)) {
        bus_.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this,
                            QDBusConnection::ExportAllSlots);
        registered_ = bus_.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    ~FakePortal() override {
        bus_.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
        bus_.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
    }
    bool registered() const { return registered_; }

    // The answer to each request: nothing, or a response code and results.
    struct Answer {
        uint code;
        QVariantMap results;
    };
    std::function<std::optional<Answer>()> answer;
    // Runs once the request is taken, inside the capture's wait; it ends by
    // calling its argument to send the answer.
    std::function<void(std::function<void()> send)> before_answer;

    int requests = 0;
    QVariantMap options;

  public slots:
    QDBusObjectPath Screenshot(const QString& /*parent_window*/, const QVariantMap& given,
                               const QDBusMessage& message) {
        ++requests;
        options = given;
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        const QString handle = "/org/freedesktop/portal/desktop/request/" + sender + '/' +
                               given.value("handle_token").toString();
        const std::optional<Answer> reply = answer ? answer() : std::nullopt;
        if (reply) {
            auto send = [this, handle, reply] {
                QDBusMessage response = QDBusMessage::createSignal(
                    handle, QStringLiteral("org.freedesktop.portal.Request"),
                    QStringLiteral("Response"));
                response << reply->code << reply->results;
                bus_.send(response);
            };
            // Answered after the request returns, as a desktop does once the
            // picture is taken.
            QMetaObject::invokeMethod(
                this,
                [this, send] {
                    if (before_answer)
                        before_answer(send);
                    else
                        send();
                },
                Qt::QueuedConnection);
        }
        return QDBusObjectPath(handle);
    }

  private:
    QDBusConnection bus_;
    bool registered_ = false;
};

// A window that counts its paintings and tells of each.
class PaintCounter : public QWidget {
  public:
    int paintings = 0;
    std::function<void()> painted;

  protected:
    void paintEvent(QPaintEvent*) override {
        ++paintings;
        QPainter(this).fillRect(rect(), Qt::white);
        if (painted)
            painted();
    }
};

// A picture of four coloured quarters.
QImage quarters(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, QColor(200, 30, 40));
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, QColor(10, 180, 60));
    painter.fillRect(0, height / 2, width / 2, height - height / 2, QColor(20, 40, 220));
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2,
                     QColor(250, 240, 5));
    return image;
}

class PortalCapture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { bus_ = new testing::PrivateBus; }
    static void TearDownTestSuite() {
        delete bus_;
        bus_ = nullptr;
    }

    void SetUp() override {
        if (::access(testing::PrivateBus::kDaemon, X_OK) != 0 || bus_->address().isEmpty())
            GTEST_SKIP() << "dbus-daemon cannot start a private bus";
        ASSERT_TRUE(bus_->connect(kCapturer).isConnected());
        ASSERT_TRUE(bus_->connect(kPortalSide).isConnected());
        set_portal_bus_name(kCapturer);
    }
    void TearDown() override {
        portal.reset();
        set_portal_bus_name(QString());
        set_portal_time_limit(limit_);
        testing::PrivateBus::disconnect(kCapturer);
        testing::PrivateBus::disconnect(kPortalSide);
    }

    FakePortal& start_portal() {
        portal = std::make_unique<FakePortal>(QDBusConnection(kPortalSide));
        EXPECT_TRUE(portal->registered());
        return *portal;
    }

    // A picture file the portal answers with, and that answer.
    FakePortal::Answer picture_answer(const std::string& path, const QImage& image) {
        EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
        return {0, {{"uri", QUrl::fromLocalFile(QString::fromStdString(path)).toString()}}};
    }

    static testing::PrivateBus* bus_;
    std::unique_ptr<FakePortal> portal;
    std::chrono::milliseconds limit_ = portal_time_limit();
    testing::TempDir dir;
    // The capture takes the portal's road on a Wayland session.
    ScopedEnv wayland{"WAYLAND_DISPLAY", "wayland-0"};
};

testing::PrivateBus* PortalCapture::bus_ = nullptr;

// The portal's picture becomes the screen bitmap at the screen's depth.
TEST_F(PortalCapture, PictureIsTheScreenBitmapAtEachDepth) {
    FakePortal& fake = start_portal();
    const QImage picture = quarters(64, 48);
    for (int depth : {32, 24, 16, 8}) {
        SCOPED_TRACE(depth);
        display::ScopedDisplay screen(depth);
        const FakePortal::Answer answer = picture_answer(dir.file("shot.png"), picture);
        fake.answer = [answer] { return answer; };
        const Bitmap grabbed = grab_primary_screen();
        ASSERT_EQ(grabbed.width(), 64);
        ASSERT_EQ(grabbed.height(), 48);
        EXPECT_EQ(grabbed.bpp(), depth);
        const struct {
            int x, y;
            std::uint8_t r, g, b;
        } points[] = {{0, 0, 200, 30, 40},   {63, 0, 10, 180, 60},  {0, 47, 20, 40, 220},
                      {63, 47, 250, 240, 5}, {31, 23, 200, 30, 40}, {32, 24, 250, 240, 5}};
        for (const auto& p : points) {
            EXPECT_EQ(testing::pixel_at(grabbed, p.x, p.y), screen_pixel(depth, p.r, p.g, p.b))
                << p.x << "," << p.y;
        }
    }
    // Asked without the portal's own dialog, under a token of ours.
    EXPECT_EQ(fake.requests, 4);
    EXPECT_EQ(fake.options.value("interactive"), QVariant(false));
    EXPECT_FALSE(fake.options.value("handle_token").toString().isEmpty());
}

// The capture goes on to the viewer as a grabbed screen does, and the
// portal's temporary picture is deleted; a picture elsewhere is left alone.
TEST_F(PortalCapture, CaptureShowsThePictureAndDeletesTheTemporaryFile) {
    FakePortal& fake = start_portal();
    testing::ScriptedDialogs dialogs;
    display::ScopedDisplay screen(32);
    Tform_screen viewer;
    testing::TempDir elsewhere;
    ScopedEnv temporary("TMPDIR", dir.path().c_str());
    const settings::SettingsStore REG(dir.file("Config.reg"));
    for (const std::string& file : {dir.file("Screenshot.png"), elsewhere.file("kept.png")}) {
        SCOPED_TRACE(file);
        const FakePortal::Answer answer = picture_answer(file, quarters(40, 30));
        fake.answer = [answer] { return answer; };
        std::optional<QSize> shown;
        testing::WhenShown<Tform_screen> close([&](Tform_screen* opened) {
            if (const Bitmap* picture = opened->picture())
                shown = QSize(picture->width(), picture->height());
            opened->close();
        });
        capture_desktop(REG, viewer);
        EXPECT_EQ(shown, std::optional<QSize>(QSize(40, 30)));
        EXPECT_EQ(dialogs.warnings, QStringList());
        EXPECT_EQ(std::filesystem::exists(file), file.find("kept") != std::string::npos);
    }
}

// While the portal has the request the program goes on painting its windows.
TEST_F(PortalCapture, WindowsArePaintedWhileThePortalWorks) {
    FakePortal& fake = start_portal();
    const FakePortal::Answer answer = picture_answer(dir.file("shot.png"), quarters(8, 8));
    fake.answer = [answer] { return answer; };
    PaintCounter window;
    window.resize(50, 50);
    window.show();
    QCoreApplication::processEvents();
    int before = 0;
    bool sent = false;
    // The answer goes out from the window's next painting, which only comes
    // if the capture's wait lets window events through.
    fake.before_answer = [&](std::function<void()> send) {
        before = window.paintings;
        window.painted = [&sent, send] {
            if (!sent) {
                sent = true;
                send();
            }
        };
        window.update();
    };
    EXPECT_FALSE(portal_screenshot(portal_bus()).isNull());
    EXPECT_GT(window.paintings, before);
}

// Every refusal or failure gives no picture, and the capture warns as on a
// system that cannot capture.
TEST_F(PortalCapture, RefusedOrFailedRequestWarns) {
    const std::string text = dir.write("not-a-picture.png", "these bytes are no picture");
    const QString missing =
        QUrl::fromLocalFile(QString::fromStdString(dir.file("gone.png"))).toString();
    const struct {
        const char* name;
        uint code;
        QVariantMap results;
    } cases[] = {
        {"cancelled by the user", 1, {}},
        {"ended otherwise", 2, {}},
        {"no uri", 0, {}},
        {"missing file", 0, {{"uri", missing}}},
        {"not a picture",
         0,
         {{"uri", QUrl::fromLocalFile(QString::fromStdString(text)).toString()}}},
        {"not a local file", 0, {{"uri", "https://example.org/shot.png"}}},
    };
    FakePortal& fake = start_portal();
    testing::ScriptedDialogs dialogs;
    Tform_screen viewer;
    const settings::SettingsStore REG(dir.file("Config.reg"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FakePortal::Answer answer{c.code, c.results};
        fake.answer = [answer] { return answer; };
        dialogs.warnings.clear();
        testing::WhenShown<Tform_screen> close([](Tform_screen* opened) { opened->close(); });
        capture_desktop(REG, viewer);
        EXPECT_FALSE(close.answered());
        EXPECT_EQ(dialogs.warnings,
                  QStringList{QString::fromUtf8("Este sistema não permite capturar a tela.")});
    }
    EXPECT_EQ(fake.requests, static_cast<int>(std::size(cases)));
}

// No portal on the bus, or no bus at all: no picture.
TEST_F(PortalCapture, MissingPortalGivesNoPicture) {
    EXPECT_TRUE(portal_screenshot(portal_bus()).isNull());
    EXPECT_TRUE(grab_primary_screen().empty());
    EXPECT_TRUE(portal_screenshot(QDBusConnection(QStringLiteral("never-connected"))).isNull());
}

// A portal that takes the request and never answers: the wait ends at the
// time limit (shortened to nothing here, so it ends as soon as the request
// is taken) without a picture.
TEST_F(PortalCapture, UnansweredRequestTimesOut) {
    FakePortal& fake = start_portal();
    fake.answer = [] { return std::nullopt; };
    set_portal_time_limit(std::chrono::milliseconds(0));
    EXPECT_TRUE(portal_screenshot(portal_bus()).isNull());
    EXPECT_EQ(fake.requests, 1);
    // The next request is answered as usual.
    fake.answer = [&] {
        return std::optional<FakePortal::Answer>(
            picture_answer(dir.file("late.png"), quarters(6, 4)));
    };
    set_portal_time_limit(limit_);
    const QImage next = portal_screenshot(portal_bus());
    EXPECT_EQ(next.size(), QSize(6, 4));
}

}  // namespace
}  // namespace quillora

#include "portal_screenshot_gui.moc"
