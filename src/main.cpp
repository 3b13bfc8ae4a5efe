#include "app/messages.h"
#include "app/paths.h"
#include "record/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    DialogMessages messages;
    Form1 window(messages, AppPaths::standard());
    if (!window.Form_Load())
        return 0;
    window.show();
    return app.exec();
}
