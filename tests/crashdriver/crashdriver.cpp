// Opens the record window on the data file of $XDG_DATA_HOME and repeats one kind of
// operation for ever, printing "done N" once the N-th one has returned, so that a test which
// kills this program knows which operations had finished.
//
//   crashdriver save|create|delete|page|addfield|delfield|index <first generation>

#include "app/messages.h"
#include "app/paths.h"
#include "fields/fieldschema.h"
#include "fields/form4.h"
#include "record/form1.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/recordset.h"
#include "store/searchindex.h"

#include <QtWidgets>
#include <cstdio>
#include <cstdlib>

namespace {
// Any box but the delete question means something failed: say so and stop.
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
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString kind = QString::fromLocal8Bit(argv[1]);
    long generation = std::atol(argv[2]);
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

    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("SSTab1"));
    const auto connection = kind == QLatin1String("addfield") ? OpenConnection() : nullptr;
    // The field list window as the user has it: deletes the selected (first) field.
    const auto fieldList =
        kind == QLatin1String("delfield")
            ? std::make_unique<Form4>(messages, AppPaths::standard(), window, &window)
            : nullptr;
    for (long n = 1;; ++n, ++generation) {
        const QString value = QStringLiteral("G%1").arg(generation);
        if (kind == QLatin1String("save") || kind == QLatin1String("page") ||
            kind == QLatin1String("index")) {
            if (kind == QLatin1String("index")) // the search index made anew, then a save
                SearchIndex::build(*OpenConnection());
            press(window, "PushButton1");
            typeEverywhere(window, value);
            if (kind == QLatin1String("page")) {
                tabs->setCurrentIndex(1);
                typeEverywhere(window, value);
                tabs->setCurrentIndex(0);
            }
            press(window, "PushButton6");
            press(window, window.mIndex() >= window.mRSRecords().RecordCount() ? "PushButton10"
                                                                               : "PushButton11");
        } else if (kind == QLatin1String("create")) {
            press(window, "PushButton3");
            typeEverywhere(window, value);
            press(window, "PushButton6");
        } else if (kind == QLatin1String("delete")) {
            if (window.mRSRecords().RecordCount() == 0)
                return 0;
            press(window, "PushButton2");
        } else if (connection) {
            addFieldToTables(*connection, FieldDefinition{QStringLiteral("A%1").arg(generation),
                                                          QStringLiteral("Textfield"),
                                                          QStringLiteral("8"), QString()});
        } else if (fieldList) {
            const int before = fieldList->ListView1->topLevelItemCount();
            if (before == 0)
                return 0;
            fieldList->PushButton3_Click();
            if (fieldList->ListView1->topLevelItemCount() != before - 1)
                return 6;
        } else {
            return 2;
        }
        if (window.mEditing())
            return 5;
        std::printf("done %ld\n", n);
        std::fflush(stdout);
    }
}
