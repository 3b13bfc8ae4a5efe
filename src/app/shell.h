#pragma once

#include <QCursor>
#include <QIcon>
#include <QString>
#include <optional>

class QWidget;
struct AppPaths;

// The window and its labels, option buttons, check boxes and frames take the button-face colour.
void SetButtonFaceColours(QWidget* window);
// Applies the style sheet of the skin file to the window when the file exists.
void ApplySkin(QWidget* window, const AppPaths& paths);
// The title of boxes without one: the product name, cut at blanks to 40 characters.
void SetApplicationTitle();
QString applicationTitle();
// The title of a box without one of its own.
QString boxTitle();
// The one icon every window shows.
QIcon programIcon();
// The hand cursor from its file, when the file exists and can be read.
std::optional<QCursor> loadHandCursor(const QString& path);
