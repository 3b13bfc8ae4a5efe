#include "app/messages.h"
#include "app/paths.h"
#include "import/commandline.h"
#include "record/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    chooseStore(argc, argv);
    if (isCommandLineRun(argc, argv)) {
        // No window on this path, so it runs without a display.
        QCoreApplication app(argc, argv);
        return runCommandLine(app.arguments());
    }
    QApplication app(argc, argv);
    DialogMessages messages;
    Form1 window(messages, AppPaths::standard());
    if (!window.Form_Load())
        return 0;
    window.show();
    return app.exec();
}
