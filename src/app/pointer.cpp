#include "app/pointer.h"

#include <QAbstractButton>
#include <QEnterEvent>
#include <QEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QWidget>

namespace {
const char* WantedProperty = "ledgerloomPointer";
}

PointerFeedback::PointerFeedback(QWidget* window) : QObject(window), m_window(window) {
    watchForDefault(window);
}

void PointerFeedback::watchButtons() {
    for (QPushButton* button : m_window->findChildren<QPushButton*>())
        watchForCustom(button);
}

void PointerFeedback::watchForDefault(QWidget* widget) {
    widget->setProperty(WantedProperty, int(MousePointer::Default));
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

void PointerFeedback::leavePointerOver(QWidget* widget) {
    widget->setProperty(WantedProperty, -1);
}

void PointerFeedback::watchForCustom(QWidget* widget) {
    widget->setProperty(WantedProperty, int(MousePointer::Custom));
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

void PointerFeedback::setPointer(MousePointer pointer) {
    m_pointer = pointer;
    switch (pointer) {
    case MousePointer::Default:
        m_window->unsetCursor();
        break;
    case MousePointer::Hourglass:
        m_window->setCursor(Qt::WaitCursor);
        break;
    case MousePointer::Custom:
        m_window->setCursor(m_custom ? *m_custom : QCursor(Qt::PointingHandCursor));
        break;
    }
    // A child with its own cursor would hide the window's; push buttons show it too.
    for (QAbstractButton* button : m_window->findChildren<QAbstractButton*>())
        button->unsetCursor();
}

void PointerFeedback::onMouseMove(MousePointer wanted) {
    if (m_pointer == MousePointer::Hourglass || m_pointer == wanted)
        return;
    setPointer(wanted);
}

// A move the control under the pointer ignores travels on to its parents; what counts is the
// control the pointer is over, so the wanted pointer is taken from there.
bool PointerFeedback::eventFilter(QObject* watched, QEvent* event) {
    QPointF global;
    if (event->type() == QEvent::MouseMove)
        global = static_cast<QMouseEvent*>(event)->globalPosition();
    else if (event->type() == QEvent::Enter)
        global = static_cast<QEnterEvent*>(event)->globalPosition();
    else
        return QObject::eventFilter(watched, event);
    QWidget* over = m_window->childAt(m_window->mapFromGlobal(global.toPoint()));
    if (!over)
        over = m_window;
    for (QWidget* w = over; w; w = w->parentWidget()) {
        const QVariant wanted = w->property(WantedProperty);
        if (wanted.isValid()) {
            if (wanted.toInt() >= 0)
                onMouseMove(MousePointer(wanted.toInt()));
            break;
        }
        if (w == m_window)
            break;
    }
    return QObject::eventFilter(watched, event);
}

HourglassPointer::HourglassPointer(PointerFeedback& feedback)
    : m_feedback(feedback), m_previous(feedback.pointer()) {
    m_feedback.setPointer(MousePointer::Hourglass);
}

HourglassPointer::~HourglassPointer() {
    m_feedback.setPointer(m_previous);
}
