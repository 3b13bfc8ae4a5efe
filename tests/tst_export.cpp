#include "commandline/storecopy.h"
#include "export/csvexport.h"
#include "export/workbookexport.h"
#include "record/form1.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "support/testserver.h"
#include "support/testsupport.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <map>
#include <optional>
#include <sys/stat.h>

namespace {

QString member(const QString& file, const QString& name) {
    QProcess unzip;
    unzip.start("unzip", {"-p", file, name});
    unzip.waitForFinished();
    return QString::fromUtf8(unzip.readAllStandardOutput());
}

// A written worksheet: its cells by reference ("B2") as "type|text", its column widths by
// 1-based column.
struct Sheet {
    std::map<QString, QString> cells;
    std::map<int, double> widths;

    explicit Sheet(const QString& file) {
        const QString xml = member(file, "xl/worksheets/sheet1.xml");
        static const QRegularExpression cell(
            R"x(<c r="([A-Z]+\d+)"[^>]*?(?: t="(\w+)")?>(.*?)</c>)x");
        static const QRegularExpression text(R"x(<t[^>]*>(.*?)</t>|<v>(.*?)</v>)x");
        for (const auto& m : cell.globalMatch(xml)) {
            const auto t = text.match(m.captured(3));
            cells[m.captured(1)] = m.captured(2) + "|" + t.captured(1) + t.captured(2);
        }
        static const QRegularExpression col(R"x(<col min="(\d+)" max="\d+" width="([\d.]+)")x");
        for (const auto& m : col.globalMatch(xml))
            widths[m.captured(1).toInt()] = m.captured(2).toDouble();
    }
    QString text(const QString& ref) const {
        return cells.count(ref) ? cells.at(ref).section('|', 1) : QString();
    }
};

// Exports the page shown into a folder of the test's own, recording what it was asked to open.
struct Exporter {
    QTemporaryDir folder;
    QStringList opened;
    bool openSucceeds = true;
    ExportOptions options{folder.path(), [this](const QString& file) {
                              opened << file;
                              return openSucceeds;
                          }};
    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden); }
    QString run(ScriptedMessages& messages, Form1& window) {
        return exportToWorkbook(messages, *window.mConnection(), window.shownCaptions(), &window,
                                options);
    }
};

// A way out of the records, given the store and a folder of its own: what it wrote, a line per
// row, the values between "|".
using WayOut = std::function<QStringList(Connection&, const QString&)>;

QStringList csvLines(Connection& connection, const QString& folder) {
    exportCsv(connection, folder + "/out.csv");
    return QString::fromUtf8(bytesOf(folder + "/out.csv"))
        .remove('"')
        .replace(',', '|')
        .split("\r\n", Qt::SkipEmptyParts);
}

QStringList workbookLines(Connection& connection, const QString& folder) {
    ScriptedMessages messages;
    const ExportOptions options{folder, [](const QString&) { return true; }};
    QStringList captions; // as the record window shows them
    for (const FieldDefinition& field : readFieldDefinitions(connection))
        captions << field.name;
    const Sheet sheet(exportToWorkbook(messages, connection, captions, nullptr, options));
    const auto at = [&](char column, int row) { return sheet.text(column + QString::number(row)); };
    QStringList lines;
    for (int row = 1; sheet.cells.count(QString("A%1").arg(row)); ++row)
        lines << at('A', row) + '|' + at('B', row) + '|' + at('C', row);
    return lines;
}

// Copied into the other kind of store, then read from there.
QStringList copiedLines(Connection& connection, const QString& folder) {
    Connection target;
    if (connection.connectionString().startsWith("Provider=PostgreSQL")) {
        QFile::copy(LEDGERLOOM_BLANK_TEMPLATE, folder + "/copy.mdb");
        QFile::setPermissions(folder + "/copy.mdb", QFile::ReadOwner | QFile::WriteOwner);
        target.Open(ConnectionString(folder + "/copy.mdb"));
    } else {
        target.Open(ServerConnectionString(TestServer::shared().newDatabase()));
    }
    copyStore(connection, target);
    return csvLines(target, folder);
}
} // namespace

class ExportTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { m_messages = ScriptedMessages(); }
    void writesTextAndFitsColumnsToRecords();
    void refusalsFailuresAndCancelLeaveNoFileAndReplaceNone();
    void tellsWhichValuesWereCutToACell();
    void writesToTheDocumentsFolderAndOpensOnlyWithAProgram_data();
    void writesToTheDocumentsFolderAndOpensOnlyWithAProgram();
    void everyRecordLeavesUnderItsOwnField_data();
    void everyRecordLeavesUnderItsOwnField();

  private:
    ScriptedMessages m_messages;
};

// Also: with the second page shown, only its fields go out.
void ExportTest::writesTextAndFitsColumnsToRecords() {
    TestEnvironment env;
    for (const char* name : {"No", "A rather long heading", "Note", "Essay", "Lines", "One"})
        env.addField(name, "Textfield");
    auto window = startRecordWindow(m_messages, env);
    Exporter exporter;
    QVERIFY2(Sheet(exporter.run(m_messages, *window)).widths.empty(),
             "no records: every column keeps its standard width");
    env.addRecords({{"007", "=1+1", "a somewhat longer note", QString(1000, 'w'), "ab\nabcdefghij",
                     "abcdefghij"},
                    {QVariant(), "1/2", "2026-12-06", "w", QVariant(), "Zoë"}});
    window->PushButton4_Click(); // Refresh Fields reopens the records
    settle(*window);
    const QString file = exporter.run(m_messages, *window);
    QCOMPARE(m_messages.texts(), QStringList());
    QCOMPARE(exporter.opened.last(), file);
    QVERIFY(member(file, "xl/workbook.xml").contains(R"x(<sheet name="Reports")x"));
    const Sheet sheet(file);
    QCOMPARE(sheet.text("A1") + sheet.text("B1"), QString("NoA rather long heading"));
    // Each value is text exactly as stored: never a number, date or formula; the id never shows.
    for (const auto& [ref, text] : std::map<QString, QString>{
             {"A2", "007"}, {"B2", "=1+1"}, {"B3", "1/2"}, {"C3", "2026-12-06"}, {"F3", "Zoë"}})
        QCOMPARE(sheet.cells.at(ref), "inlineStr|" + text);
    QVERIFY2(!sheet.cells.count("A3"), "a Null leaves its cell empty");
    QVERIFY(!sheet.cells.count("G1") && !sheet.cells.count("A4"));
    QVERIFY(sheet.widths.at(1) < 8.43);                             // short heading, short values
    QVERIFY(sheet.widths.at(2) > 2 * sheet.widths.at(1));           // fitted to its heading
    QVERIFY(sheet.widths.at(3) > 18);                               // fitted to its longest value
    QVERIFY(sheet.widths.at(4) > 250 && sheet.widths.at(4) <= 256); // the format's limit
    QCOMPARE(sheet.widths.at(5), sheet.widths.at(6));               // as wide as the longest line

    env.addFields(21); // the 27th field, F21, alone on the second page
    env.execute("UPDATE CustomTable SET F21 = 'v' || ID");
    window->PushButton4_Click();
    window->findChild<QTabWidget*>("SSTab1")->setCurrentIndex(1);
    settle(*window);
    const Sheet second(exporter.run(m_messages, *window));
    QCOMPARE(second.cells.size(), size_t(3));
    QCOMPARE(second.text("A1") + second.text("A2") + second.text("A3"), QString("F21v1v2"));
}

// Each refusal or failure is told once, the record shown stays, and no one's file is replaced.
void ExportTest::refusalsFailuresAndCancelLeaveNoFileAndReplaceNone() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 49) "
                "INSERT INTO CustomTable (Name) SELECT 'n' || i FROM n");
    auto window = startRecordWindow(m_messages, env);
    window->PushButton11_Click();
    Exporter exporter;
    exporter.options.maxRecords = 49;
    QVERIFY(exporter.run(m_messages, *window).isEmpty());
    QVERIFY(m_messages.texts().value(0).contains("50 records"));

    // Another program's lock holds the export up until the progress shows: Cancel ends it.
    exporter.options = {exporter.options.folder, exporter.options.open, 50, 1};
    QTimer press;
    connect(&press, &QTimer::timeout, this, [&] {
        auto* progress = window->findChild<QProgressDialog*>("LongWorkProgress");
        if (progress && progress->isVisible())
            progress->findChild<QPushButton*>()->click();
    });
    press.start(20);
    {
        OtherProgram other(env);
        other.rows("BEGIN EXCLUSIVE");
        QVERIFY(exporter.run(m_messages, *window).isEmpty());
    }
    QCOMPARE(m_messages.texts().mid(1), QStringList());
    QVERIFY(exporter.files().isEmpty() && exporter.opened.isEmpty());

    // Take the names of the coming seconds, so that the export meets a taken name.
    press.stop();
    for (int s = 0; s < 5; ++s)
        writeFile(exporter.folder.filePath(QDateTime::currentDateTime().addSecs(s).toString(
                      "'Reports 'yyyy-MM-dd HH-mm-ss'.xlsx'")),
                  "someone else's");
    exporter.openSucceeds = false;
    const QString file = exporter.run(m_messages, *window);
    QVERIFY(file.endsWith(" (2).xlsx"));
    for (const QString& name : exporter.files())
        if (!file.endsWith(name))
            QCOMPARE(QFileInfo(exporter.folder.filePath(name)).size(), qint64(14));
    QCOMPARE(Sheet(file).text("A2"), QString("n0"));
    QCOMPARE(m_messages.shown.size(), 2); // written, but it would not open: says where it is
    QVERIFY(m_messages.shown[1].text.contains(QDir::toNativeSeparators(file)));
    QCOMPARE(window->findChild<QLabel*>("lblRecord")->text(), QString("Record 2 of 50"));
}

void ExportTest::tellsWhichValuesWereCutToACell() {
    TestEnvironment env;
    env.addFields({{"Name", "Textfield"}, {"Note", "Multiline Textfield"}});
    env.addRecords({{"short", QString(40000, 'n')},
                    {QString(32767, 'y'), QString(32768, 'n')},
                    {QString(33000, 'y'), "short"}});
    auto window = startRecordWindow(m_messages, env);
    Exporter exporter;
    const QString file = exporter.run(m_messages, *window);
    QCOMPARE(m_messages.texts().size(), 1);
    QVERIFY2(m_messages.texts()[0].contains("1 value of Name, 2 values of Note") &&
                 m_messages.texts()[0].contains(QDir::toNativeSeparators(file)),
             qPrintable(m_messages.texts()[0]));
    QCOMPARE(Sheet(file).text("B2").size(), 32767);
}

void ExportTest::writesToTheDocumentsFolderAndOpensOnlyWithAProgram_data() {
    QTest::addColumn<QString>("handler"); // the desktop's program for workbooks, if any
    QTest::newRow("a program for workbooks") << "calc.desktop";
    QTest::newRow("no program") << "";
}

// xdg-open returns before a missing program shows, so the desktop is asked first.
void ExportTest::writesToTheDocumentsFolderAndOpensOnlyWithAProgram() {
    QFETCH(QString, handler);
    TestEnvironment env;
    QTemporaryDir bin;
    const QString tool =
        writeFile(bin.filePath("xdg-mime"), "#!/bin/sh\necho '" + handler.toUtf8() + "'\n");
    QFile::setPermissions(tool, QFile::permissions(tool) | QFileDevice::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ':' + oldPath);
    const bool answered =
        desktopOpens("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
    env.addField("Name", "Textfield");
    auto window = startRecordWindow(m_messages, env);
    Exporter exporter;
    exporter.openSucceeds = false;
    exporter.options.folder.clear();
    const QString file = exporter.run(m_messages, *window);
    qputenv("PATH", oldPath);
    QCOMPARE(answered, !handler.isEmpty());
    QCOMPARE(QFileInfo(file).absolutePath(), QDir::home().filePath("Documents"));
    QVERIFY(m_messages.texts().value(0).contains(QDir::toNativeSeparators(file)));
}

void ExportTest::everyRecordLeavesUnderItsOwnField_data() {
    QTest::addColumn<StoreKind>("store");
    QTest::addColumn<WayOut>("wayOut");
    for (const auto& [storeName, store] : Stores)
        for (const auto& [wayName, way] : {std::pair<const char*, WayOut>{"CSV", csvLines},
                                           {"workbook", workbookLines},
                                           {"copy", copiedLines}})
            QTest::addRow("%s %s", storeName, wayName) << store << way;
}

// Ids below 1 come from Access tables; a field row changed after it was made (as the field
// editor and the import do) is where a server hands it out last.
void ExportTest::everyRecordLeavesUnderItsOwnField() {
    QFETCH(StoreKind, store);
    QFETCH(WayOut, wayOut);
    TestEnvironment env(store);
    env.addFields({{"Notes", "Multiline Textfield"}, {"Name", "Textfield"}, {"City", "Textfield"}});
    env.execute("UPDATE \"FieldControl\" SET \"FieldLength\" = '9' WHERE \"fieldname\" = 'Notes'");
    env.execute("INSERT INTO \"CustomTable\" (\"ID\", \"Notes\", \"Name\", \"City\") VALUES "
                "(-5, 'minus five', 'Alice', 'Oslo'), (0, 'zero', 'Bob', 'Rome'), "
                "(1, 'one', 'Cy', 'Lima')");
    auto connection = env.store().open();
    QTemporaryDir folder;
    umask(022);
    QCOMPARE(
        wayOut(*connection, folder.path()),
        QStringList({"Notes|Name|City", "minus five|Alice|Oslo", "zero|Bob|Rome", "one|Cy|Lima"}));
    // What went out holds the user's records: for the user alone, whatever the umask.
    for (const QFileInfo& file : QDir(folder.path()).entryInfoList(QDir::Files))
        QCOMPARE(modeOf(file.filePath()), 0600);
}

QTEST_MAIN(ExportTest)
#include "tst_export.moc"
