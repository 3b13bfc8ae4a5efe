#pragma once

#include <QCursor>
#include <QObject>
#include <optional>

class QWidget;

// The window's mouse pointer by the numbers the windows use.
enum class MousePointer { Default = 0, Hourglass = 11, Custom = 99 };

// Pointer feedback of one window: over push buttons the pointer becomes the custom hand,
// over the background and the listed controls it returns to the arrow; neither while the
// hourglass shows.
class PointerFeedback : public QObject {
    Q_OBJECT
  public:
    explicit PointerFeedback(QWidget* window);

    void setCustomCursor(std::optional<QCursor> cursor) { m_custom = std::move(cursor); }
    // Every push button of the window gets the hand; these widgets get the arrow.
    void watchButtons();
    void watchForDefault(QWidget* widget);
    void watchForCustom(QWidget* widget);
    // A control without a handler of its own: the pointer stays as it is over it.
    void leavePointerOver(QWidget* widget);

    MousePointer pointer() const { return m_pointer; }
    void setPointer(MousePointer pointer);
    void onMouseMove(MousePointer wanted);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* m_window;
    std::optional<QCursor> m_custom;
    MousePointer m_pointer = MousePointer::Default;
};

// Shows the hourglass while it lives, and puts the previous pointer back.
class HourglassPointer {
  public:
    explicit HourglassPointer(PointerFeedback& feedback);
    ~HourglassPointer();
    HourglassPointer(const HourglassPointer&) = delete;
    HourglassPointer& operator=(const HourglassPointer&) = delete;

  private:
    PointerFeedback& m_feedback;
    MousePointer m_previous;
};
