#include "record/providercheck.h"

#include "app/errortrap.h"
#include "app/messages.h"
#include "app/runtimeerror.h"
#include "store/enginecheck.h"

#include <QDesktopServices>
#include <QUrl>

ProviderServices ProviderServices::standard() {
    return ProviderServices{
        checkEngine, [](const QString& address) { QDesktopServices::openUrl(QUrl(address)); }};
}

QString providerHelpMessage() {
    const QString gap = QStringLiteral("\r\n\r\n");
    return QStringLiteral(
               "Error #3706: Provider cannot be found. It may not be properly installed.") +
           gap + QStringLiteral("You are getting this error because:") + gap +
           QStringLiteral("1. Microsoft Access is not installed on your computer.") + gap +
           QStringLiteral("2. A set of Microsoft components to transfer data is not installed on "
                          "your computer.") +
           gap +
           QStringLiteral("You need to download and install Microsoft Access Database Engine 2010 "
                          "or 2016 to solve this problem.") +
           gap +
           QStringLiteral("Would you like me to open the Microsoft site now so you can do this?") +
           gap +
           QStringLiteral("(If you have any further questions please email a screenshot of this "
                          "error message to ") +
           ErrorTrap::supportAddress() + QLatin1Char(')');
}

bool CheckProvider(MessageService& messages, const ProviderServices& services) {
    try {
        services.createConnection();
        return true;
    } catch (const RuntimeError& e) {
        if (e.number() == ErrorNumber::ProviderNotFound ||
            e.description().contains(QLatin1String("provider cannot be found"),
                                     Qt::CaseInsensitive)) {
            const Message help{providerHelpMessage(), QString(), Message::Buttons::YesNo};
            if (messages.show(help) == Answer::Yes) {
                const QString page =
                    QStringLiteral("https://www.microsoft.com/en-us/download/details.aspx?id=");
                services.openPage(page + QStringLiteral("13255"));
                services.openPage(page + QStringLiteral("54920"));
            }
        }
    } catch (...) {
    }
    return false;
}
