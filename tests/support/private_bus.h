// A D-Bus session bus of the test's own: a dbus-daemon that activates no
// service (so no real desktop portal starts on it), stopped when the object
// goes.
#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <fstream>
#include <string>

#include "support/temp_dir.h"

namespace quillora::testing {

class PrivateBus {
  public:
    static constexpr const char* kDaemon = "/usr/bin/dbus-daemon";

    PrivateBus() {
        const std::string config = folder_.file("bus.conf");
        std::ofstream(config)
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
               "1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n  <type>session</type>\n  <listen>unix:dir="
            << folder_.path().string()
            << "</listen>\n  <policy context=\"default\">\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n"
               "  </policy>\n</busconfig>\n";
        daemon_.start(kDaemon, {"--nofork", "--print-address",
                                "--config-file=" + QString::fromStdString(config)});
        // The daemon prints its address once it listens.
        if (!daemon_.waitForStarted(30000))
            return;
        while (!daemon_.canReadLine() && daemon_.waitForReadyRead(30000)) {
        }
        if (daemon_.canReadLine())
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon_.terminate();
        if (!daemon_.waitForFinished(10000))
            daemon_.kill();
        daemon_.waitForFinished();
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when the daemon could not start.
    const QString& address() const { return address_; }

    // A connection of that name to this bus (closed by disconnect()).
    QDBusConnection connect(const QString& name) const {
        return QDBusConnection::connectToBus(address_, name);
    }
    static void disconnect(const QString& name) { QDBusConnection::disconnectFromBus(name); }

  private:
    TempDir folder_;
    QProcess daemon_;
    QString address_;
};

}  // namespace quillora::testing
