#include "app/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace {
double logicalDpiX(const QWidget* widget) {
    if (widget)
        return widget->logicalDpiX();
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}
double logicalDpiY(const QWidget* widget) {
    if (widget)
        return widget->logicalDpiY();
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}
} // namespace

double Twips::perPixelX(const QWidget* widget) {
    return 1440.0 / logicalDpiX(widget);
}
double Twips::perPixelY(const QWidget* widget) {
    return 1440.0 / logicalDpiY(widget);
}
int Twips::toPixelsX(double twips, const QWidget* widget) {
    return int(std::lround(twips / perPixelX(widget)));
}
int Twips::toPixelsY(double twips, const QWidget* widget) {
    return int(std::lround(twips / perPixelY(widget)));
}

void Twips::place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(toPixelsX(left, widget), toPixelsY(top, widget), toPixelsX(width, widget),
                        toPixelsY(height, widget));
}

QRect Twips::geometry(const QWidget* widget) {
    const QRect g = widget->geometry();
    const double fx = perPixelX(widget), fy = perPixelY(widget);
    return QRect(int(std::lround(g.x() * fx)), int(std::lround(g.y() * fy)),
                 int(std::lround(g.width() * fx)), int(std::lround(g.height() * fy)));
}
