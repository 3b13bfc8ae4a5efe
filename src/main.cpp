#include "app/messages.h"
#include "app/paths.h"
#include "commandline/commandline.h"
#include "record/form1.h"
#include "store/serversecrets.h"

#include <QApplication>
#include <QGuiApplication>

int main(int argc, char* argv[]) {
    const CommandLine options(argc, argv);
    if (!options.opensWindow()) {
        // No window on this path, so it runs without a display; text is laid out off screen.
        if (options.drawsText()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            QGuiApplication app(argc, argv);
            return options.run();
        }
        QCoreApplication app(argc, argv);
        return options.run();
    }
    QApplication app(argc, argv);
    // A server address a message quotes is shown without its secrets.
    DialogMessages messages([](const QString& text) { return maskSecrets(text); });
    Form1 window(messages, AppPaths::standard(), options.chooseStore());
    if (!window.Form_Load())
        return 0;
    window.show();
    return app.exec();
}
