// Opens the record window on the data file of $XDG_DATA_HOME and repeats one kind of
// operation for ever, printing "done N" once the N-th one has returned, so that a test which
// kills this program knows which operations had finished.
//
//   crashdriver save|create|delete|page|addfield|delfield|index|import|undo|restore|emptybin|
//               undofield
//               <first generation>

#include "app/messages.h"
#include "app/paths.h"
#include "fields/form4.h"
#include "import/csvsource.h"
#include "import/importer.h"
#include "record/form1.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fieldchange.h"
#include "store/fielddefinition.h"
#include "store/fieldrules.h"
#include "store/recordbin.h"
#include "store/recordcursor.h"
#include "store/searchindex.h"

#include <QtWidgets>
#include <climits>
#include <cstdio>

namespace {
// Any box but the delete question means something failed: say so and stop.
struct FailOnMessage : MessageService {
    Answer show(const Message& message) override {
        if (message.buttons == Message::Buttons::YesNo)
            return Answer::Yes;
        std::fprintf(stderr, "message: %s\n", qPrintable(message.text));
        std::exit(3);
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
};

void press(QWidget& window, const char* name) {
    window.findChild<QPushButton*>(QLatin1String(name))->click();
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
    const QString kind = QString::fromLocal8Bit(argc > 2 ? argv[1] : "");
    long generation = QByteArray(argc > 2 ? argv[2] : "").toLong();
    FailOnMessage messages;
    const Store store = Store::dataFile(AppPaths::standard().dataFile());
    Form1 window(messages, AppPaths::standard(), store);
    if (!window.Form_Load())
        return 7;
    window.show();
    while (!window.isVisible() || window.mGenerating() || window.mInputControls().isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::printf("ready\n");
    std::fflush(stdout);
    const auto connection = store.open();
    // The field list window as the user has it: deletes the selected (first) field.
    Form4 fieldList(messages, AppPaths::standard(), store, window, &window);
    for (long n = 1;; ++n, ++generation) {
        const QString value = QStringLiteral("G%1").arg(generation);
        if (kind == "save" || kind == "page" || kind == "index") {
            if (kind == "index") // the search index made anew, then a save
                SearchIndex::build(*connection);
            press(window, "PushButton1");
            typeEverywhere(window, value);
            if (kind == "page") {
                window.findChild<QTabWidget*>("SSTab1")->setCurrentIndex(1);
                typeEverywhere(window, value);
                window.findChild<QTabWidget*>("SSTab1")->setCurrentIndex(0);
            }
            press(window, "PushButton6");
            const bool atEnd = window.mIndex() >= window.mRSRecords().RecordCount();
            press(window, atEnd ? "PushButton10" : "PushButton11");
        } else if (kind == "undo") { // a save taken back and made again
            press(window, "PushButton1");
            typeEverywhere(window, value);
            press(window, "PushButton6");
            window.findChild<QAction*>(QStringLiteral("actionUndo"))->trigger();
            window.findChild<QAction*>(QStringLiteral("actionRedo"))->trigger();
        } else if (kind == "undofield") { // the last field deleted, then the delete taken back
            FieldChange change =
                FieldChange::remove(*connection, readFieldDefinitions(*connection).back().name);
            change.undo(*connection);
        } else if (kind == "restore") { // the newest record in the bin, with its id
            const auto newest = RecordBin::entries(*connection, LLONG_MAX, 1);
            if (newest.empty())
                return 0;
            RecordBin::restore(*connection, newest[0].key, RecordBin::WhenIdTaken::Refuse);
        } else if (kind == "emptybin" && window.mRSRecords().RecordCount() > 0) {
            RecordBin::empty(*connection); // all the test put there, then the record deleted
            press(window, "PushButton2");
        } else if (kind == "create") {
            press(window, "PushButton3");
            typeEverywhere(window, value);
            press(window, "PushButton6");
        } else if (kind == "delete" && window.mRSRecords().RecordCount() > 0) {
            press(window, "PushButton2");
        } else if (kind == "addfield") {
            addFieldToTables(*connection, FieldDefinition{"A" + value, "Textfield", "8", ""});
        } else if (kind == "import") { // a CSV file of 2 columns and 50 rows
            QFile csv(AppPaths::standard().dataFolder() + QStringLiteral("/in.csv"));
            if (!csv.open(QIODevice::WriteOnly))
                return 6;
            csv.write(QStringLiteral("I%1a,I%1b\n").arg(generation).toUtf8() +
                      QByteArray("x,y\n").repeated(50));
            csv.close();
            CsvSource source(csv.fileName(), fieldRoom(*connection));
            importTable(*connection, source, planImport(*connection, source), false);
        } else if (kind == "delfield" && fieldList.ListView1->topLevelItemCount() > 0) {
            fieldList.PushButton3_Click();
        } else {
            // nothing left, or no such kind
            return kind == "delete" || kind == "delfield" || kind == "emptybin" ? 0 : 2;
        }
        if (window.mEditing())
            return 5;
        std::printf("done %ld\n", n);
        std::fflush(stdout);
    }
}
