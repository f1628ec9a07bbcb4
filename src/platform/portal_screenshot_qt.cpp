#include "platform/portal_screenshot_qt.h"

#include <QBuffer>
#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QEventLoop>
#include <QImageReader>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/file_url_qt.h"

namespace quillora {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// How long the portal may take to accept the request (it answers at once).
constexpr int kCallTimeoutMs = 60000;

std::chrono::milliseconds g_time_limit{60000};
QString g_bus_name;

// The object path the portal gives a request of this sender and token:
// the sender's unique name without ':' and with '.' as '_'.
QString request_path(const QString& unique_name, const QString& token) {
    QString sender = unique_name;
    if (sender.startsWith(':'))
        sender.remove(0, 1);
    sender.replace('.', '_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + '/' + token;
}

// A handle token of its own for every request of this run.
QString next_token() {
    static unsigned counter = 0;
    return QStringLiteral("quillora%1").arg(++counter);
}

// Receives the Response signal of one request object.
class ResponseWatcher : public QObject {
    Q_OBJECT
  public:
    ResponseWatcher(QDBusConnection bus, QEventLoop& loop) : bus_(std::move(bus)), loop_(loop) {}
    ~ResponseWatcher() override { unwatch(); }

    void watch(const QString& path) {
        if (path == path_)
            return;
        unwatch();
        path_ = path;
        bus_.connect(kPortalService, path_, kRequestInterface, QStringLiteral("Response"), this,
                     SLOT(response(uint, QVariantMap)));
    }

    bool received = false;
    uint code = 0;
    QVariantMap results;

  public slots:
    void response(uint response_code, const QVariantMap& response_results) {
        if (received)
            return;
        received = true;
        code = response_code;
        results = response_results;
        loop_.quit();
    }

  private:
    void unwatch() {
        if (path_.isEmpty())
            return;
        bus_.disconnect(kPortalService, path_, kRequestInterface, QStringLiteral("Response"), this,
                        SLOT(response(uint, QVariantMap)));
        path_.clear();
    }

    QDBusConnection bus_;
    QEventLoop& loop_;
    QString path_;
};

// The picture in a file, or a null image; never more than the limit read.
QImage read_picture(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    QByteArray bytes;
    char chunk[65536];
    while (in) {
        in.read(chunk, sizeof chunk);
        bytes.append(chunk, static_cast<qsizetype>(in.gcount()));
        if (bytes.size() > kPortalPictureLimit)
            return {};
    }
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    QImage image;
    if (!reader.read(&image))
        return {};
    return image;
}

// Deletes the portal's picture when it lies in the temporary folder; a file
// anywhere else (the user's pictures folder) belongs to the user.
void remove_if_temporary(const std::string& path) {
    std::error_code error;
    const std::filesystem::path file(path);
    const std::filesystem::path folder = std::filesystem::weakly_canonical(
        std::filesystem::path(QDir::tempPath().toStdString()), error);
    if (error)
        return;
    const std::filesystem::path parent =
        std::filesystem::weakly_canonical(file.parent_path(), error);
    if (error || parent != folder)
        return;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(file, error)))
        std::filesystem::remove(file, error);
}

}  // namespace

QImage portal_screenshot(const QDBusConnection& bus) {
    if (!bus.isConnected())
        return {};
    QEventLoop loop;
    ResponseWatcher watcher(bus, loop);
    // Listening before asking: the answer may come as soon as the call returns.
    const QString token = next_token();
    watcher.watch(request_path(bus.baseService(), token));

    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, kScreenshotInterface, QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("interactive"), false}};
    QDBusPendingCallWatcher pending(bus.asyncCall(call, kCallTimeoutMs));
    QObject::connect(&pending, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!pending.isFinished())
        loop.exec();
    if (!watcher.received) {
        const QDBusPendingReply<QDBusObjectPath> reply = pending;
        if (!reply.isFinished() || reply.isError())
            return {};
        // An older portal may choose a path of its own.
        watcher.watch(reply.value().path());
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(g_time_limit);
        loop.exec();
    }
    if (!watcher.received || watcher.code != 0)
        return {};
    const std::string path = local_file_bytes(
        QUrl(watcher.results.value(QStringLiteral("uri")).toString(), QUrl::StrictMode));
    if (path.empty())
        return {};
    QImage picture = read_picture(path);
    remove_if_temporary(path);
    return picture;
}

QDBusConnection portal_bus() {
    return g_bus_name.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(g_bus_name);
}

void set_portal_bus_name(const QString& connection_name) {
    g_bus_name = connection_name;
}

std::chrono::milliseconds portal_time_limit() noexcept {
    return g_time_limit;
}

void set_portal_time_limit(std::chrono::milliseconds limit) noexcept {
    g_time_limit = limit;
}

}  // namespace quillora

#include "portal_screenshot_qt.moc"
