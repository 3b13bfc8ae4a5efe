// Opens the record window on the data file of $XDG_DATA_HOME and repeats one kind of
// operation for ever, printing "done N" once the N-th one has returned, so that a test which
// kills this program knows which operations had finished.
//
//   crashdriver save|create|delete|page|addfield|delfield <first generation>

#include "app/messages.h"
#include "app/paths.h"
#include "fields/fieldschema.h"
#include "fields/form4.h"
#include "record/form1.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/recordset.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>

namespace {
// Any box means something failed: say so and stop, so the test sees it.
class FailOnMessage : public MessageService {
  public:
    bool expectQuestion = false;
    Answer show(const Message& message) override {
        if (expectQuestion && message.buttons == Message::Buttons::YesNo)
            return Answer::Yes;
        std::fprintf(stderr, "message: %s\n", qPrintable(message.text));
        std::exit(3);
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
};

void report(long n) {
    std::printf("done %ld\n", n);
    std::fflush(stdout);
}

void press(QWidget& window, const char* name) {
    auto* button = window.findChild<QPushButton*>(QLatin1String(name));
    if (!button) {
        std::fprintf(stderr, "no button %s\n", name);
        std::exit(4);
    }
    button->click();
}

// Every text box of the page shown gets the same value, so a torn write would show.
void typeEverywhere(Form1& window, const QString& value) {
    for (QWidget* input : window.mInputControls())
        if (auto* box = qobject_cast<QLineEdit*>(input))
            box->setText(value);
}

void nextRecordOrFirst(Form1& window) {
    if (window.mIndex() >= window.mRSRecords().RecordCount())
        press(window, "PushButton10");
    else
        press(window, "PushButton11");
}

int runRecordOperation(Form1& window, const QString& kind, long generation) {
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("SSTab1"));
    for (long n = 1;; ++n, ++generation) {
        const QString value = QStringLiteral("G%1").arg(generation);
        if (kind == QLatin1String("save")) {
            press(window, "PushButton1");
            typeEverywhere(window, value);
            press(window, "PushButton6");
            nextRecordOrFirst(window);
        } else if (kind == QLatin1String("create")) {
            press(window, "PushButton3");
            typeEverywhere(window, value);
            press(window, "PushButton6");
        } else if (kind == QLatin1String("delete")) {
            if (window.mRSRecords().RecordCount() == 0)
                return 0;
            press(window, "PushButton2");
        } else if (kind == QLatin1String("page")) {
            press(window, "PushButton1");
            typeEverywhere(window, value);
            tabs->setCurrentIndex(1);
            typeEverywhere(window, value);
            tabs->setCurrentIndex(0);
            press(window, "PushButton6");
            nextRecordOrFirst(window);
        } else {
            return 2;
        }
        if (window.mEditing())
            return 5;
        report(n);
    }
}

int runFieldOperation(Form1& window, MessageService& messages, const QString& kind,
                      long generation) {
    if (kind == QLatin1String("addfield")) {
        auto connection = OpenConnection();
        for (long n = 1;; ++n, ++generation) {
            addFieldToTables(*connection, FieldDefinition{QStringLiteral("A%1").arg(generation),
                                                          QStringLiteral("Textfield"),
                                                          QStringLiteral("8"), QString()});
            report(n);
        }
    }
    // The field list window as the user has it: delete the selected (first) field.
    Form4 fieldList(messages, AppPaths::standard(), window, &window);
    for (long n = 1; fieldList.ListView1->topLevelItemCount() > 0; ++n) {
        const int before = fieldList.ListView1->topLevelItemCount();
        fieldList.PushButton3_Click();
        if (fieldList.ListView1->topLevelItemCount() != before - 1)
            return 6;
        report(n);
    }
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString kind = QString::fromLocal8Bit(argv[1]);
    const long generation = std::atol(argv[2]);
    FailOnMessage messages;
    messages.expectQuestion = kind == QLatin1String("delete");
    Form1 window(messages, AppPaths::standard());
    if (!window.Form_Load())
        return 7;
    window.show();
    while (!window.isVisible() || window.mGenerating() || window.mInputControls().isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::printf("ready\n");
    std::fflush(stdout);
    if (kind == QLatin1String("addfield") || kind == QLatin1String("delfield"))
        return runFieldOperation(window, messages, kind, generation);
    return runRecordOperation(window, kind, generation);
}
