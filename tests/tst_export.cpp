#include "export/workbookexport.h"
#include "record/form1.h"
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
#include <QXmlStreamReader>
#include <map>

namespace {

QByteArray member(const QString& file, const QString& name) {
    QProcess unzip;
    unzip.start("unzip", {"-p", file, name});
    unzip.waitForFinished();
    return unzip.readAllStandardOutput();
}

struct Cell {
    QString type;
    QString style;
    QString text;
    bool formula = false;
};

// The parts of a written worksheet the tests look at.
struct Sheet {
    std::map<QString, Cell> cells; // by reference, "B2"
    std::map<int, double> widths;  // by 1-based column
    QString activeCell;
    QString orientation;
    bool tabSelected = false;

    static Sheet read(const QByteArray& xml) {
        Sheet sheet;
        QXmlStreamReader r(xml);
        QString ref;
        while (!r.atEnd()) {
            if (!r.readNextStartElement())
                continue;
            const auto a = r.attributes();
            if (r.name() == u"c") {
                ref = a.value("r").toString();
                sheet.cells[ref] = Cell{a.value("t").toString(), a.value("s").toString(), {}};
            } else if (r.name() == u"t" || r.name() == u"v") {
                sheet.cells[ref].text = r.readElementText();
            } else if (r.name() == u"f") {
                sheet.cells[ref].formula = true;
            } else if (r.name() == u"col") {
                for (int c = a.value("min").toInt(); c <= a.value("max").toInt(); ++c)
                    sheet.widths[c] = a.value("width").toDouble();
            } else if (r.name() == u"selection") {
                sheet.activeCell = a.value("activeCell").toString();
            } else if (r.name() == u"pageSetup") {
                sheet.orientation = a.value("orientation").toString();
            } else if (r.name() == u"sheetView") {
                sheet.tabSelected = a.value("tabSelected") == u"1";
            }
        }
        return sheet;
    }
    QString text(const QString& ref) const {
        const auto found = cells.find(ref);
        return found == cells.end() ? QString() : found->second.text;
    }
    bool has(const QString& ref) const { return cells.count(ref) > 0; }
};

// Whether the cell style with this index uses a bold font, per styles.xml.
bool styleIsBold(const QByteArray& styles, int index) {
    QXmlStreamReader r(styles);
    QList<bool> fontsBold;
    QList<int> xfFonts;
    bool inFonts = false, inXfs = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            if (r.name() == u"fonts")
                inFonts = true;
            else if (r.name() == u"cellXfs")
                inXfs = true;
            else if (inFonts && r.name() == u"font")
                fontsBold << false;
            else if (inFonts && r.name() == u"b")
                fontsBold.last() = true;
            else if (inXfs && r.name() == u"xf")
                xfFonts << r.attributes().value("fontId").toInt();
        } else if (r.isEndElement()) {
            if (r.name() == u"fonts")
                inFonts = false;
            else if (r.name() == u"cellXfs")
                inXfs = false;
        }
    }
    return index < xfFonts.size() && fontsBold.value(xfFonts[index]);
}

// An export into a folder of the test's own, recording what it asked to open.
struct Exporter {
    QTemporaryDir folder;
    QStringList opened;
    bool openSucceeds = true;
    ExportOptions options() {
        ExportOptions o;
        o.folder = folder.path();
        o.open = [this](const QString& file) {
            opened << file;
            return openSucceeds;
        };
        return o;
    }
    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden); }
    QString run(ScriptedMessages& messages, Form1& window) {
        return run(messages, window, options());
    }
    QString run(ScriptedMessages& messages, Form1& window, const ExportOptions& o) {
        return exportToWorkbook(messages, *window.mConnection(), window.shownCaptions(),
                                window.shownPage(), &window, o);
    }
};

} // namespace

class ExportTest : public QObject {
    Q_OBJECT
  private slots:
    void writesOneLandscapeSheetOfTextWithBoldHeadings();
    void fitsColumnsOnlyWhenRecordsWereWritten();
    void exportsSecondPageWhenItIsShown();
    void neverReplacesAnExistingWorkbook();
    void refusesWhileEditingAndBeyondSheetRows();
    void cancelLeavesNoFile();
    void reportsFailuresOnceAndSaysWhereTheFileIs();
};

void ExportTest::writesOneLandscapeSheetOfTextWithBoldHeadings() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Code", "Textfield");
    env.addField("Note", "Textfield");
    env.addRecords(
        {{"Ann", "007", "=1+1"}, {QVariant(), "1/2", "2026-12-06"}, {"Zoë", "3.50", ""}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    Exporter exporter;
    const QString file = exporter.run(messages, *window);

    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(exporter.opened, QStringList({file}));
    QCOMPARE(exporter.files(), QStringList({QFileInfo(file).fileName()}));
    QVERIFY(QRegularExpression("^Reports \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.xlsx$")
                .match(QFileInfo(file).fileName())
                .hasMatch());

    const QByteArray workbook = member(file, "xl/workbook.xml");
    QCOMPARE(workbook.count("<sheet "), 1);
    QVERIFY(workbook.contains("name=\"Reports\""));
    const Sheet sheet = Sheet::read(member(file, "xl/worksheets/sheet1.xml"));
    QCOMPARE(sheet.orientation, QString("landscape"));
    QCOMPARE(sheet.activeCell, QString("C5"));
    QVERIFY(sheet.tabSelected);

    const QByteArray styles = member(file, "xl/styles.xml");
    for (const char* ref : {"A1", "B1", "C1"}) {
        QVERIFY(styleIsBold(styles, sheet.cells.at(ref).style.toInt()));
    }
    QCOMPARE(sheet.text("A1") + "|" + sheet.text("B1") + "|" + sheet.text("C1"),
             QString("Name|Code|Note"));
    QVERIFY(!sheet.has("D1"));
    QVERIFY(!styleIsBold(styles, sheet.cells.at("A2").style.toInt()));
    // Every value is text exactly as stored; nothing turns into a number, date or formula.
    const QList<std::pair<QString, QString>> values = {
        {"A2", "Ann"},        {"B2", "007"}, {"C2", "=1+1"}, {"B3", "1/2"},
        {"C3", "2026-12-06"}, {"A4", "Zoë"}, {"B4", "3.50"}};
    for (const auto& [ref, text] : values) {
        const Cell& cell = sheet.cells.at(ref);
        QCOMPARE(cell.text, text);
        QVERIFY2(cell.type == "inlineStr" || cell.type == "s", qPrintable(ref));
        QVERIFY(!cell.formula);
    }
    QVERIFY2(!sheet.has("A3"), "a Null leaves its cell empty");
    QVERIFY(sheet.text("C4").isEmpty());
    QVERIFY(!sheet.has("A5"));
    // The ids are nowhere.
    for (const auto& [ref, cell] : sheet.cells)
        QVERIFY(ref.front() <= QChar('C'));
}

void ExportTest::fitsColumnsOnlyWhenRecordsWereWritten() {
    TestEnvironment env;
    for (const char* name : {"Id no", "A rather long heading", "Note", "Essay", "Lines", "One"})
        env.addField(name, "Textfield");
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    Exporter exporter;
    const Sheet empty =
        Sheet::read(member(exporter.run(messages, *window), "xl/worksheets/sheet1.xml"));
    QVERIFY2(empty.widths.empty(), "no records: every column keeps its standard width");
    QCOMPARE(empty.text("B1"), QString("A rather long heading"));

    env.addRecords({{"1", "x", "short", QString(1000, 'w'), "ab\nabcdefghij", "abcdefghij"},
                    {"22", QVariant(), "a somewhat longer note", "w", QVariant(), "abc"}});
    window->PushButton4_Click(); // Refresh Fields reopens the records
    settle(*window);
    const Sheet sheet =
        Sheet::read(member(exporter.run(messages, *window), "xl/worksheets/sheet1.xml"));
    QCOMPARE(sheet.widths.size(), size_t(6));
    // A column as wide as its widest text: the heading where the values are short...
    QVERIFY(sheet.widths.at(2) > sheet.widths.at(1));
    QVERIFY(sheet.widths.at(2) > sheet.widths.at(3) * 0.9);
    // ...the longest value where it is longer than the heading.
    QVERIFY(sheet.widths.at(3) > 18);
    QVERIFY(sheet.widths.at(1) < 8.43);
    // Excel's widest column is 255 characters.
    QVERIFY(sheet.widths.at(4) > 250 && sheet.widths.at(4) <= 256);
    // A value of several lines is as wide as its longest line.
    QCOMPARE(sheet.widths.at(5), sheet.widths.at(6));
    QCOMPARE(messages.texts(), QStringList());
}

void ExportTest::exportsSecondPageWhenItIsShown() {
    TestEnvironment env;
    env.addFields(28);
    QVariantList record;
    for (int f = 1; f <= 28; ++f)
        record << QString("v%1").arg(f);
    env.addRecords({record});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    window->findChild<QTabWidget*>("SSTab1")->setCurrentIndex(1);
    settle(*window);
    Exporter exporter;
    const Sheet sheet =
        Sheet::read(member(exporter.run(messages, *window), "xl/worksheets/sheet1.xml"));
    QCOMPARE(sheet.text("A1") + "|" + sheet.text("B1"), QString("F27|F28"));
    QCOMPARE(sheet.text("A2") + "|" + sheet.text("B2"), QString("v27|v28"));
    QVERIFY(!sheet.has("C1") && !sheet.has("C2"));
}

void ExportTest::neverReplacesAnExistingWorkbook() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    Exporter exporter;
    // Take the names of the coming seconds, so that the export meets a taken name.
    const QDateTime now = QDateTime::currentDateTime();
    QStringList taken;
    for (int s = 0; s < 5; ++s) {
        const QString name = exporter.folder.filePath(
            "Reports " + now.addSecs(s).toString("yyyy-MM-dd HH-mm-ss") + ".xlsx");
        QFile f(name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("someone else's");
        taken << name;
    }
    const QString file = exporter.run(messages, *window);
    QVERIFY(!file.isEmpty());
    QVERIFY(!taken.contains(file));
    QVERIFY(QFileInfo(file).fileName().contains(" (2).xlsx"));
    for (const QString& name : taken) {
        QFile f(name);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("someone else's"));
    }
    QCOMPARE(Sheet::read(member(file, "xl/worksheets/sheet1.xml")).text("A2"), QString("Ann"));
}

void ExportTest::refusesWhileEditingAndBeyondSheetRows() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}, {"Bob"}, {"Cid"}});
    QTemporaryDir temp;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    window->PushButton1_Click(); // Edit Current Record
    window->findChild<QPushButton*>("PushButton5")->click();
    qputenv("TMPDIR", oldTemp);
    QCOMPARE(messages.texts(), QStringList({"Please save or cancel current record first."}));
    QCOMPARE(messages.shown[0].title, QString());
    QVERIFY(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    QVERIFY(window->mEditing());
    window->PushButton8_Click();

    QVERIFY(sheetHolds(MaxSheetRecords));
    QVERIFY(!sheetHolds(MaxSheetRecords + 1));
    messages.clear();
    Exporter exporter;
    ExportOptions small = exporter.options();
    small.maxRecords = 2;
    QVERIFY(exporter.run(messages, *window, small).isEmpty());
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.shown[0].text.contains("3 records"));
    QVERIFY(exporter.files().isEmpty());
    QVERIFY(exporter.opened.isEmpty());
    small.maxRecords = 3;
    QVERIFY(!exporter.run(messages, *window, small).isEmpty());
}

void ExportTest::cancelLeavesNoFile() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    QList<QVariantList> records;
    for (int i = 0; i < 50; ++i)
        records << QVariantList{QString("n%1").arg(i)};
    env.addRecords(records);
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    Exporter exporter;
    ExportOptions slow = exporter.options();
    slow.progressDelayMs = 0;
    slow.batchRecords = 1;
    bool sawProgress = false;
    QTimer press;
    connect(&press, &QTimer::timeout, this, [&] {
        auto* progress = window->findChild<QProgressDialog*>();
        if (progress && progress->isVisible() && progress->value() >= 5) {
            sawProgress = true;
            progress->findChild<QPushButton*>()->click();
        }
    });
    press.start(0);
    QVERIFY(exporter.run(messages, *window, slow).isEmpty());
    press.stop();
    QVERIFY(sawProgress);
    QCOMPARE(exporter.files(), QStringList());
    QVERIFY(exporter.opened.isEmpty());
    QCOMPARE(messages.texts(), QStringList());
}

void ExportTest::reportsFailuresOnceAndSaysWhereTheFileIs() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}, {"Bob"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    window->PushButton11_Click(); // Next
    Exporter exporter;
    ExportOptions nowhere = exporter.options();
    nowhere.folder = exporter.folder.filePath("missing/folder");
    QVERIFY(exporter.run(messages, *window, nowhere).isEmpty());
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].title, QString("Application Error"));
    QVERIFY(messages.shown[0].text.contains(QDir::toNativeSeparators(nowhere.folder)));
    QVERIFY(exporter.opened.isEmpty());
    QCOMPARE(window->findChild<QLabel*>("lblRecord")->text(), QString("Record 2 of 2"));
    QCOMPARE(window->mIndex(), 2);

    messages.clear();
    exporter.openSucceeds = false;
    const QString file = exporter.run(messages, *window);
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.shown[0].text.contains(QDir::toNativeSeparators(file)));
    QVERIFY(QFileInfo::exists(file));
}

QTEST_MAIN(ExportTest)
#include "tst_export.moc"
