#include "engine/batch_run_qt.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace quillora {

BatchSummary run_batch_processing_events(const BatchPlan& plan, const BatchOptions& options,
                                         const std::function<void(const FileResult&)>& finished,
                                         const std::function<bool()>& cancel_requested) {
    struct Shared {
        std::mutex lock;
        std::vector<FileResult> results;
        bool over = false;
        BatchSummary summary;
    } shared;
    std::atomic<bool> cancel{false};
    // Lives on this thread: a call posted to it from a worker wakes the event
    // loop waiting below.
    QObject waker;
    auto wake = [&waker] {
        QMetaObject::invokeMethod(
            &waker, [] {}, Qt::QueuedConnection);
    };

    BatchCallbacks callbacks;
    callbacks.finished = [&](const FileResult& result) {
        {
            std::lock_guard lock(shared.lock);
            shared.results.push_back(result);
        }
        wake();
    };
    callbacks.cancelled = [&cancel, &cancel_requested] {
        return cancel.load() || cancel_requested();
    };

    // Whatever way this function is left, no further file starts, and the
    // runner has ended before anything it uses goes.
    struct StopOnExit {
        std::atomic<bool>& cancel;
        std::jthread runner;
        ~StopOnExit() {
            cancel = true;
            if (runner.joinable())
                runner.join();
        }
    } stop_on_exit{cancel, std::jthread([&] {
                       BatchSummary summary = run_batch(plan, options, callbacks);
                       {
                           std::lock_guard lock(shared.lock);
                           shared.summary = summary;
                           shared.over = true;
                       }
                       wake();
                   })};

    std::vector<FileResult> taken;
    for (bool over = false; !over;) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        {
            std::lock_guard lock(shared.lock);
            taken.swap(shared.results);
            over = shared.over;
        }
        for (const FileResult& result : taken)
            finished(result);
        taken.clear();
    }
    return shared.summary;
}

}  // namespace quillora
