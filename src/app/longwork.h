#pragma once

#include <QString>
#include <functional>

class QWidget;

// Runs work on a worker thread while the window stays painted and, after about a second,
// shows a progress dialog with Cancel. Cancel calls cancel(), which must make the work end
// soon (the data layer interrupts its statement). The caller's thread touches nothing the work
// uses meanwhile. Returns false when the work was cancelled before it finished; a failure of
// the work is raised here again.
bool runLongWork(QWidget* parent, const QString& label, const std::function<void()>& work,
                 const std::function<void()>& cancel);
