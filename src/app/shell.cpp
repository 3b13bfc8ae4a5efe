#include "app/shell.h"

#include "app/paths.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QWidget>

// The icons are compiled into the static library; the linker keeps them only when asked.
static void initResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {
const QString ProductName = QStringLiteral("Ledgerloom");

void paintButtonFace(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
} // namespace

void SetButtonFaceColours(QWidget* window) {
    paintButtonFace(window);
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (qobject_cast<QLabel*>(child) || qobject_cast<QRadioButton*>(child) ||
            qobject_cast<QCheckBox*>(child) || qobject_cast<QGroupBox*>(child))
            paintButtonFace(child);
    }
}

void ApplySkin(QWidget* window, const AppPaths& paths) {
    const QString path = paths.skinFile();
    if (!FileExists(path))
        return;
    SetButtonFaceColours(window);
    QFile file(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        window->setStyleSheet(QString::fromUtf8(file.readAll()));
}

QString applicationTitle() {
    QString title = ProductName;
    while (title.size() > 40) {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        title = blank > 0 ? title.left(blank) : title.left(40);
    }
    return title;
}

namespace {
QString& titleOfBoxes() {
    static QString title;
    return title;
}
} // namespace

// Not the application display name: the platform would append it to every window's title.
void SetApplicationTitle() {
    titleOfBoxes() = applicationTitle();
}

QString boxTitle() {
    return titleOfBoxes().isEmpty() ? QCoreApplication::applicationName() : titleOfBoxes();
}

QIcon programIcon() {
    static const QIcon icon = [] {
        initResources();
        QIcon i;
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            i.addFile(QStringLiteral(":/icons/ledgerloom-%1.png").arg(size), QSize(size, size));
        return i;
    }();
    return icon;
}

std::optional<QCursor> loadHandCursor(const QString& path) {
    if (!FileExists(path))
        return std::nullopt;
    QPixmap picture(path, "ICO");
    if (picture.isNull())
        return std::nullopt;
    // The hot spot of the hand is the tip of its index finger.
    return QCursor(picture, 9, 1);
}
