#include "app/longwork.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <atomic>
#include <chrono>
#include <exception>
#include <thread>

namespace {
// Work shorter than this shows no dialog at all.
constexpr int DialogDelayMs = 1000;
} // namespace

bool runLongWork(QWidget* parent, const QString& label, const std::function<void()>& work,
                 const std::function<void()>& cancel) {
    std::atomic<bool> finished = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        finished = true;
    });
    QProgressDialog progress(label, QStringLiteral("Cancel"), 0, 0, parent);
    progress.setObjectName(QStringLiteral("LongWorkProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(DialogDelayMs);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    // Starts the clock of the delay; without it the dialog keeps its default of four seconds.
    progress.setValue(0);
    bool cancelled = false;
    while (!finished) {
        // Until the modal dialog is up, the user's clicks and keys wait: the window must not
        // start other work on what the worker is using.
        QCoreApplication::processEvents(
            progress.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents, 20);
        if (progress.wasCanceled() && !cancelled) {
            cancelled = true;
            cancel();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    worker.join();
    progress.close();
    if (!failure)
        return true; // finished, even if Cancel came too late to stop it
    if (cancelled)
        return false;
    std::rethrow_exception(failure);
}
