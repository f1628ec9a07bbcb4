#include "platform/wait_qt.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace quillora {
namespace {
std::chrono::milliseconds g_second{1000};
}

void responsive_wait(std::chrono::milliseconds duration) {
    QElapsedTimer clock;
    clock.start();
    // A ticking timer wakes the blocking event wait at least every 10 ms.
    QTimer tick;
    tick.start(10);
    while (clock.elapsed() <= duration.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

std::chrono::milliseconds pacing_second() noexcept {
    return g_second;
}
void set_pacing_second(std::chrono::milliseconds length) noexcept {
    g_second = length;
}

}  // namespace quillora
