#include "app/errortrap.h"

const QString& ErrorTrap::supportAddress() {
    static const QString address = QStringLiteral("support@tarnwell-software.com");
    return address;
}

QString ErrorTrap::location() const {
    return QStringLiteral("in Orvelin2021/08/31.") + m_window + QLatin1Char('.') + m_procedure +
           QLatin1Char(' ');
}

QString ErrorTrap::messageText(const QString& description, const QString& location, unsigned line) {
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") + supportAddress();
}

void ErrorTrap::report(qint64 number, const QString& description, unsigned line) {
    ++m_failures;
    if (m_silentNumber != 0 && number == m_silentNumber)
        return;
    Message m{messageText(description, location(), line), QStringLiteral("Application Error"),
              Message::Buttons::Ok, Message::Icon::Exclamation};
    m_messages.show(m);
}
