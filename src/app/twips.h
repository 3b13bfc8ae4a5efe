#pragma once

#include <QRect>

class QWidget;

// Positions are kept in twips as designed and turned into pixels by the screen's DPI.
namespace Twips {
double perPixelX(const QWidget* widget = nullptr);
double perPixelY(const QWidget* widget = nullptr);
int toPixelsX(double twips, const QWidget* widget = nullptr);
int toPixelsY(double twips, const QWidget* widget = nullptr);
void place(QWidget* widget, int left, int top, int width, int height);
// The widget's geometry in twips, relative to its parent.
QRect geometry(const QWidget* widget);
} // namespace Twips
