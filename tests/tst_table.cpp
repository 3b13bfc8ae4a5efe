#include "record/form1.h"
#include "support/testsupport.h"
#include "table/tablerecords.h"
#include "table/tablewindow.h"

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>

namespace {

// Opens the table view as the user does, with Ctrl+T in the record window.
TableWindow& openTable(Form1& window) {
    QTest::keyClick(&window, Qt::Key_T, Qt::ControlModifier);
    TableWindow* table = window.tableWindow();
    if (!table)
        qFatal("Ctrl+T opened no table view");
    return *table;
}

// The headings, then every row as the table shows it.
QList<QStringList> rowsOf(const TableWindow& table) {
    const QAbstractItemModel* model = table.view()->model();
    QList<QStringList> rows;
    for (int r = -1; r < model->rowCount(); ++r) {
        rows << QStringList();
        for (int c = 0; c < model->columnCount(); ++c)
            rows.last() << (r < 0 ? model->headerData(c, Qt::Horizontal)
                                  : model->data(model->index(r, c)))
                               .toString();
    }
    return rows;
}

// The ids of the rows as the table shows them.
QList<qint64> idsOf(const TableWindow& table) {
    QList<qint64> ids;
    for (int r = 0; r < table.records().rowCount(); ++r)
        ids << table.records().idAt(r);
    return ids;
}

void clickHeading(TableWindow& table, int section) {
    QHeaderView* header = table.view()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(section) + 4, 4));
}

// The text of a PDF file as pdftotext reads it, page by page.
QStringList pdfPages(const QString& file) {
    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-layout", file, "-"});
    if (!pdftotext.waitForFinished(60000) || pdftotext.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\f');
    pages.removeAll(QString());
    return pages;
}

// Every page has the title, the headings and its number, and the values come in this order.
bool pagesHold(const QStringList& pages, const QStringList& headings, const QStringList& values) {
    for (int p = 0; p < pages.size(); ++p) {
        if (!pages[p].contains(QString("Page %1 of %2").arg(p + 1).arg(pages.size())))
            return false;
        for (const QString& heading : headings)
            if (!pages[p].contains(heading))
                return false;
    }
    const QString all = pages.join(QString());
    qsizetype at = 0;
    for (const QString& value : values)
        if ((at = all.indexOf(value, at)) < 0)
            return false;
    return true;
}

// Where pdftotext finds a word on the first page.
QRectF firstBoxOf(const QString& file, const QString& word) {
    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-bbox", "-f", "1", "-l", "1", file, "-"});
    pdftotext.waitForFinished(60000);
    const QRegularExpressionMatch found =
        QRegularExpression(QString("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" "
                                   "yMax=\"([0-9.]+)\">%1<")
                               .arg(QRegularExpression::escape(word)))
            .match(QString::fromUtf8(pdftotext.readAllStandardOutput()));
    return QRectF(QPointF(found.captured(1).toDouble(), found.captured(2).toDouble()),
                  QPointF(found.captured(3).toDouble(), found.captured(4).toDouble()));
}

QString pageSize(const QString& file) {
    QProcess pdfinfo;
    pdfinfo.start("pdfinfo", {file});
    pdfinfo.waitForFinished(60000);
    return QRegularExpression("Page size: *([0-9.]+ x [0-9.]+)")
        .match(pdfinfo.readAllStandardOutput())
        .captured(1);
}

} // namespace

class TableViewTest : public QObject {
    Q_OBJECT
  private slots:
    // Text is ordered as in this locale, whatever the machine's.
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void showsEveryFieldAndFollowsTheRecordWindow_data() { storeRows(); }
    void showsEveryFieldAndFollowsTheRecordWindow();
    void ordersAndFilters_data();
    void ordersAndFilters();
    void printsTheRowsAsShownAndARecordAsAForm_data() { storeRows(); }
    void printsTheRowsAsShownAndARecordAsAForm();
    void writesThePdfInAFontWhoseOutlinesItCannotEmbed();
};

void TableViewTest::showsEveryFieldAndFollowsTheRecordWindow() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    env.addFields(27); // two pages
    env.addField("Wide", "Textfield", "12");
    QList<QVariantList> records;
    for (int i = 1; i <= 600; ++i) {
        QVariantList values{QString("first %1").arg(i)};
        for (int f = 2; f <= 27; ++f)
            values << (i % 3 ? QVariant(QString("v%1.%2").arg(i).arg(f)) : QVariant());
        records << (values << QString("wide %1").arg(i));
    }
    env.addRecords(records);
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    TableWindow& table = openTable(*window);
    QCOMPARE(table.statusText(), QString("600 of 600 records"));
    const QList<QStringList> rows = rowsOf(table);
    QCOMPARE(rows[0].size(), 29);
    QCOMPARE(rows[0].mid(0, 3), (QStringList{"ID", "F1", "F2"}));
    QCOMPARE(rows[0].last(), QString("Wide"));
    // Read on demand across chunks, every value in its own field's column.
    const auto stored = env.query("select * from \"CustomTable\" order by \"ID\"");
    for (int r : {599, 0, 255, 256, 300})
        for (int c = 0; c < 29; ++c)
            QCOMPARE(rows[r + 1][c], stored[r][c].toString());
    QVERIFY2(table.view()->columnWidth(28) > table.view()->columnWidth(1),
             "a field of greater size has a wider column");
    // A new order shows its first rows before the rest is read.
    QList<int> shownRows;
    QObject::connect(table.view()->model(), &QAbstractItemModel::modelReset, &table,
                     [&] { shownRows << table.view()->model()->rowCount(); });
    clickHeading(table, 2);
    QCOMPARE(shownRows, (QList<int>{500, 600}));
    QCOMPARE(idsOf(table).mid(0, 3), (QList<qint64>{1, 10, 100}));
    QCOMPARE(idsOf(table).last(), 600); // empty last
    clickHeading(table, 0);

    // Enter on a row moves the record window there.
    table.view()->setCurrentIndex(table.view()->model()->index(299, 2));
    QTest::keyClick(table.view(), Qt::Key_Return);
    QCOMPARE(textBox(*window, 0)->text(), QString("first 300"));

    // A save and a delete in the record window show in the table.
    window->PushButton1_Click();
    textBox(*window, 0)->setText("changed");
    window->PushButton6_Click();
    QCOMPARE(table.view()->model()->index(299, 1).data().toString(), QString("changed"));
    QCOMPARE(table.view()->currentIndex().row(), 299);
    messages.answer(Answer::Yes);
    window->PushButton2_Click();
    QCOMPARE(table.statusText(), QString("599 of 599 records"));
    QCOMPARE(table.view()->model()->index(299, 1).data().toString(), QString("first 301"));
    // A field added elsewhere shows with the fields read afresh.
    env.addField("Later", "Textfield");
    window->PushButton4_Click();
    settle(*window);
    QCOMPARE(rowsOf(table)[0].last(), QString("Later"));
    // The columns follow the field list, as the record window's pages do.
    env.execute("DELETE FROM \"FieldControl\" WHERE \"fieldname\" = 'F1'");
    env.query("INSERT INTO \"FieldControl\" VALUES ($1, $2, $3, $4)", {"F1", "Textfield", "8", ""});
    window->PushButton4_Click();
    settle(*window);
    QCOMPARE(rowsOf(table)[0].mid(0, 2), (QStringList{"ID", "F2"}));
    QCOMPARE(rowsOf(table)[0].last(), QString("F1"));
    QCOMPARE(messages.texts(),
             QStringList{"Do you really want to delete this record number changed?"});
}

void TableViewTest::ordersAndFilters_data() {
    QTest::addColumn<StoreKind>("store");
    QTest::addColumn<QList<int>>("headings"); // clicked in turn: 1 Name, 2 Note
    QTest::addColumn<QStringList>("filters"); // per column, the id's first
    QTest::addColumn<QList<qint64>>("ids");
    // clang-format off
    const std::tuple<const char*, QList<int>, QStringList, QList<qint64>> cases[] = {
        {"locale order, empty last, ties by id", {1}, {}, {6, 2, 1, 8, 3, 7, 4, 5}},
        {"reversed, empty still last", {1, 1}, {}, {7, 3, 1, 8, 2, 6, 4, 5}},
        {"by id reversed", {1, 0, 0}, {}, {8, 7, 6, 5, 4, 3, 2, 1}},
        {"other column", {1, 2}, {}, {4, 2, 3, 5, 1, 6, 7, 8}},
        {"contains, any case", {}, {"", "AN"}, {1, 7, 8}},
        {"accent folded", {}, {"", "ÉL"}, {7}},
        {"percent literal", {}, {"", "", "%"}, {2}},
        {"underscore literal", {}, {"", "", "_"}, {3}},
        {"two filters, reversed", {2, 2}, {"", "A", "x"}, {6, 1}},
        {"by id", {}, {"7"}, {7}},
    };
    // clang-format on
    for (const auto& [store, storeKind] : Stores)
        for (const auto& [name, headings, filters, ids] : cases)
            QTest::addRow("%s: %s", store, name) << storeKind << headings << filters << ids;
}

void TableViewTest::ordersAndFilters() {
    QFETCH(StoreKind, store);
    QFETCH(QList<int>, headings);
    QFETCH(QStringList, filters);
    QFETCH(QList<qint64>, ids);
    TestEnvironment env(store);
    env.addFields({{"Name", "Textfield"}, {"Note", "Textfield"}});
    env.addRecords({{"banana", "x"},
                    {"Apple", "50%"},
                    {"cherry", "a_b"},
                    {"", "50 off"},
                    {QVariant(), "ab"},
                    {"apple", "x y"},
                    {"élan", QVariant()},
                    {"banana", QVariant()}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    TableWindow& table = openTable(*window);
    for (int section : headings)
        clickHeading(table, section);
    for (int section = 0; section < filters.size(); ++section) {
        QTest::keyClicks(table.filterBox(section), filters[section]);
        QTest::keyClick(table.filterBox(section), Qt::Key_Return);
    }
    QCOMPARE(idsOf(table), ids);
    QCOMPARE(table.statusText(), QString("%1 of 8 records").arg(ids.size()));
    QCOMPARE(messages.texts(), QStringList());
}

void TableViewTest::printsTheRowsAsShownAndARecordAsAForm() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    env.addFields({{"Name", "Textfield"},
                   {"Greek", "Textfield"},
                   {"Notes", "Multiline Textfield", "3"},
                   {"Amount", "Number"},
                   {"Day", "Date"}});
    env.addFields(27);
    const QString notes = "alpha beta gamma delta epsilon zeta eta theta iota kappa omega";
    QStringList tall; // a value of more lines than a page holds, in its narrow column
    for (int w = 1; w <= 300; ++w)
        tall << QString("w%1").arg(w, 3, 10, QChar('0'));
    QList<QVariantList> records;
    for (int i = 1; i <= 150; ++i)
        records << QVariantList{QString("name-%1").arg(i, 3, 10, QChar('0')),
                                QStringList{"Ελληνικά 東京都", "", "مرحبا بالعالم",
                                            "office \uFB01le e\u0301te\u0301"}[i % 4],
                                i == 110   ? notes
                                : i == 120 ? tall.join(' ')
                                           : "n",
                                "-1234.5", "2024-01-31"};
    records.last() << "line one\nline two";
    env.addRecords(records);
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    TableWindow& table = openTable(*window);
    clickHeading(table, 1);
    clickHeading(table, 1);
    QTest::keyClicks(table.filterBox(1), "-1");
    QTest::keyClick(table.filterBox(1), Qt::Key_Return);
    const QString list = env.programFolder() + "/list.pdf";
    QVERIFY(table.exportPdfTo(list));
    QCOMPARE(QFile::permissions(list) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
    QStringList shown; // name-150 ... name-100
    for (int r = 0; r < table.records().rowCount(); ++r)
        shown << table.records().rowValues(r)[1];
    QCOMPARE(shown.size(), 51);
    QCOMPARE(rowsOf(table)[1].mid(4, 2), (QStringList{"-1234,5", "31.01.2024"})); // German
    QStringList pages = pdfPages(list);
    QVERIFY2(pages.size() > 1, qPrintable(pages.join("|")));
    // The columns past the page's width go on in a band of pages of their own, the id first.
    QVERIFY2(pagesHold(pages, {"Records", "ID"}, shown), qPrintable(pages.join("|")));
    // A row taller than a page goes on over the pages after it, no line lost.
    QVERIFY2(pagesHold(pages, {}, tall), qPrintable(pages.join("|")));
    const QString text = pages.join(QString());
    QVERIFY2(pages.first().contains("Greek") && !pages.first().contains("F27") &&
                 pages.last().contains("F27") && pages.last().contains("100"),
             qPrintable(pages.last().left(900)));
    QVERIFY(text.contains("Ελληνικά 東京都") && text.contains("-1234,5") &&
            text.contains("31.01.2024"));
    // Numbers and their heading to the right of their column, as the table shows them.
    const QRectF amount = firstBoxOf(list, "Amount");
    const QRectF number = firstBoxOf(list, "-1234,5");
    QVERIFY2(!number.isEmpty() && qAbs(amount.right() - number.right()) < 1 &&
                 number.left() > amount.left() + 1,
             qPrintable(QString("%1 %2").arg(amount.right()).arg(number.right())));
    // Shaped text (joined letters, a ligature, combining accents) reads back as its characters:
    // the joined forms and ligatures as their compatibility forms, as other programs' files do.
    const QString plain = text.normalized(QString::NormalizationForm_KC);
    QVERIFY2(plain.contains("مرحبا بالعالم") && plain.contains("office file") &&
                 plain.contains("été"),
             qPrintable(plain.left(2000)));
    for (const QString& word : notes.split(' ')) // wrapped in its narrow column, not cut
        QVERIFY2(text.contains(word + " ") || text.contains(word + "\n"), qPrintable(word));
    QVERIFY(!text.contains("name-002"));
    const QStringList size = pageSize(list).split(" x ");
    QVERIFY2(size.value(0).toDouble() > size.value(1).toDouble(), "landscape for 30 columns");
    // Print... and Print Preview..., to a printer that writes a PDF file, print the same rows.
    QPrinter printer;
    printer.setOutputFileName(env.programFolder() + "/printed.pdf");
    table.runPrintDialog = [&](QDialog& dialog) {
        if (auto* print = qobject_cast<QPrintDialog*>(&dialog))
            print->printer()->setOutputFileName(printer.outputFileName());
        else
            emit static_cast<QPrintPreviewDialog&>(dialog).paintRequested(&printer);
        return true;
    };
    for (const char* action : {"actionPrint", "actionPrintPreview"}) {
        QFile::remove(printer.outputFileName());
        table.findChild<QAction*>(action)->trigger();
        const QStringList printed = pdfPages(printer.outputFileName());
        QVERIFY2(pagesHold(printed, {"Records", "ID"}, shown) && pagesHold(printed, {}, tall) &&
                     !printed.join(QString()).contains("name-002"),
                 action);
    }

    // The record shown, as a form, exported and printed: every field of both pages, a value of
    // several lines whole.
    window->showRecordWithId(150);
    const QString form = env.programFolder() + "/form.pdf";
    QVERIFY(window->exportRecordPdfTo(form));
    window->runPrintDialog = table.runPrintDialog;
    window->findChild<QAction*>("actionPrintRecord")->trigger();
    QStringList fields{"Name",    "name-150", "Greek",      "Notes", "n",        "Amount",
                       "-1234,5", "Day",      "31.01.2024", "F1",    "line one", "line two"};
    for (int f = 2; f <= 27; ++f)
        fields << QString("F%1").arg(f);
    for (const QString& file : {form, printer.outputFileName()}) {
        pages = pdfPages(file);
        QVERIFY2(pagesHold(pages, {"Record 150"}, fields), qPrintable(pages.join("|")));
    }

    // Without a window: every record, in id order.
    QProcess program;
    program.start(LEDGERLOOM_PROGRAM, {"--export-pdf", list});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 0);
    QStringList all;
    for (int i = 1; i <= 150; ++i)
        all << QString("name-%1").arg(i, 3, 10, QChar('0'));
    QVERIFY(pagesHold(pdfPages(list), {"Records", "ID"}, all));
    QCOMPARE(messages.texts(), QStringList());
}

// The glyphs of most fonts are embedded by the program itself; a font of other outlines (CFF) is
// left to Qt's own PDF writer.
void TableViewTest::writesThePdfInAFontWhoseOutlinesItCannotEmbed() {
    const int added = QFontDatabase::addApplicationFont(
        "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf");
    QVERIFY2(added >= 0, "scripts/setup-deps.sh installs fonts-urw-base35");
    const QFont before = QApplication::font();
    QApplication::setFont(QFont(QFontDatabase::applicationFontFamilies(added).value(0)));
    TestEnvironment env(StoreKind::Local);
    env.addFields({{"Name", "Textfield"}});
    env.addRecords({{"one value"}, {"two values"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    const QString file = env.programFolder() + "/list.pdf";
    const bool written = openTable(*window).exportPdfTo(file);
    QApplication::setFont(before);
    QVERIFY(written);
    const QStringList pages = pdfPages(file);
    QVERIFY2(pagesHold(pages, {"Records", "ID", "Name"}, {"one value", "two values"}),
             qPrintable(pages.join("|")));
    QCOMPARE(messages.texts(), QStringList());
}

QTEST_MAIN(TableViewTest)
#include "tst_table.moc"
