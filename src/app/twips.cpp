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

namespace {
// The twips a widget was placed at, kept so that reading them back is exact, not rounded.
const char* PlacedTwips = "ledgerloomTwips";
const char* PlacedPixels = "ledgerloomPixels";
} // namespace

void Twips::place(QWidget* widget, int left, int top, int width, int height) {
    const QRect pixels(toPixelsX(left, widget), toPixelsY(top, widget), toPixelsX(width, widget),
                       toPixelsY(height, widget));
    widget->setGeometry(pixels);
    widget->setProperty(PlacedTwips, QRect(left, top, width, height));
    widget->setProperty(PlacedPixels, widget->geometry());
}

QRect Twips::geometry(const QWidget* widget) {
    const QRect g = widget->geometry();
    if (widget->property(PlacedPixels).toRect() == g)
        return widget->property(PlacedTwips).toRect();
    const double fx = perPixelX(widget), fy = perPixelY(widget);
    return QRect(int(std::lround(g.x() * fx)), int(std::lround(g.y() * fy)),
                 int(std::lround(g.width() * fx)), int(std::lround(g.height() * fy)));
}
