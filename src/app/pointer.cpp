#include "app/pointer.h"

#include <QAbstractButton>
#include <QEvent>
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

bool PointerFeedback::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
        const QVariant wanted = watched->property(WantedProperty);
        if (wanted.isValid())
            onMouseMove(MousePointer(wanted.toInt()));
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
