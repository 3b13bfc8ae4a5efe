#include "app/messages.h"

#include "app/shell.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon boxIcon(Message::Icon icon) {
    switch (icon) {
    case Message::Icon::Exclamation:
        return QMessageBox::Warning;
    case Message::Icon::Question:
        return QMessageBox::Question;
    case Message::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

// Message texts keep the CR LF breaks of their design; Qt lays out plain text by LF.
QString DialogMessages::forDisplay(const QString& text) const {
    QString shown = m_clean(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

Answer DialogMessages::show(const Message& message) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(message.title.isEmpty() ? boxTitle() : m_clean(message.title));
    box.setText(forDisplay(message.text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(boxIcon(message.icon));
    if (message.buttons == Message::Buttons::Ok) {
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return Answer::Ok;
    }
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(message.secondButtonDefault ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::optional<QString> DialogMessages::input(const QString& prompt, const QString& title,
                                             const QString& defaultText) {
    bool ok = false;
    QString text = QInputDialog::getText(QApplication::activeWindow(),
                                         title.isEmpty() ? boxTitle() : m_clean(title),
                                         m_clean(prompt), QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}
