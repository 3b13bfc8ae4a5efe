#include "app/flags.h"
#include "app/twips.h"
#include "record/form1.h"
#include "search/form3.h"
#include "support/testsupport.h"

#include <QAbstractItemModel>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

// Opens the search window with the record window's Search command and lets the user act on
// it; true when the user's actions left it open (it is then cancelled).
bool withSearchWindow(Form1& window, const std::function<void(Form3&)>& act) {
    bool leftOpen = false;
    QTimer::singleShot(0, &window, [&] {
        auto* search = window.findChild<Form3*>();
        if (!search)
            return;
        act(*search);
        leftOpen = search->isVisible();
        if (leftOpen)
            search->findChild<QPushButton*>("PushButton2")->click();
    });
    window.PushButton7_Click();
    settle(window);
    return leftOpen;
}

void typeAndEnter(Form3& search, const QString& text) {
    auto* box = search.findChild<QLineEdit*>("Text1");
    box->setText(text);
    QTest::keyClick(box, Qt::Key_Return);
}

QTreeView* listView(Form3& search) {
    return search.findChild<QTreeView*>("ListView1");
}

QStringList headings(Form3& search) {
    const QAbstractItemModel* model = listView(search)->model();
    QStringList result;
    for (int c = 0; c < model->columnCount(); ++c)
        result << model->headerData(c, Qt::Horizontal).toString();
    return result;
}

// Every row as the list shows it, the id first.
QList<QStringList> rows(Form3& search) {
    const QAbstractItemModel* model = listView(search)->model();
    QList<QStringList> result;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < model->columnCount(); ++c)
            row << model->data(model->index(r, c)).toString();
        result << row;
    }
    return result;
}

QStringList column(const QList<QStringList>& rows, int c) {
    QStringList values;
    for (const QStringList& row : rows)
        values << row.value(c);
    return values;
}

QString shownText(Form1& window, int entry) {
    return qobject_cast<QLineEdit*>(window.mInputControls()[entry])->text();
}

QString positionLabel(Form1& window) {
    return window.findChild<QLabel*>("lblRecord")->text();
}

} // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void opensAsDesignedAndIgnoresBlankText();
    void findsTextInAnyFieldOfShownPage();
    void searchesAndListsSecondPageWhenItIsShown();
    void ignoresCaseOfEveryLetterAndTakesWildcardsLiterally();
    void readsValuesOfLongListsOnDemand();
    void okAndDoubleClickMoveRecordWindowToChosenRecord();
    void okWithEmptyListKeepsWindowOpenAndCancelRebuilds();
    void reportsUnreadableDataFileAndStaysUsable();
};

void SearchWindowTest::opensAsDesignedAndIgnoresBlankText() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    const bool leftOpen = withSearchWindow(*window, [&](Form3& search) {
        QCOMPARE(search.windowTitle(), QString("Search"));
        QCOMPARE(search.findChild<QGroupBox*>("Frame1")->title(), QString("Search Database"));
        QCOMPARE(search.findChild<QPushButton*>("PushButton3")->text(), QString("Search"));
        QCOMPARE(search.findChild<QPushButton*>("PushButton1")->text(), QString("OK"));
        QCOMPARE(search.findChild<QPushButton*>("PushButton2")->text(), QString("Cancel"));
        const auto near = [](const QRect& a, const QRect& b) {
            // Twips go through whole pixels and back: within one pixel of the design.
            const int slack = 15;
            return std::abs(a.x() - b.x()) <= slack && std::abs(a.y() - b.y()) <= slack &&
                   std::abs(a.width() - b.width()) <= slack &&
                   std::abs(a.height() - b.height()) <= slack;
        };
        QVERIFY(near(Twips::geometry(search.findChild<QWidget*>("Frame1")),
                     QRect(120, 60, 7800, 1335)));
        QVERIFY(
            near(Twips::geometry(search.findChild<QWidget*>("Text1")), QRect(240, 300, 7320, 345)));
        QVERIFY(near(Twips::geometry(search.findChild<QWidget*>("ListView1")),
                     QRect(120, 1500, 7800, 3390)));
        QVERIFY(near(Twips::geometry(search.findChild<QWidget*>("PushButton2")),
                     QRect(4080, 4980, 3840, 405)));
        QCOMPARE(search.font().family(), QString("Arial"));
        QVERIFY(search.font().bold());
        QCOMPARE(search.findChild<QPushButton*>("PushButton1")->font().pointSizeF(), 11.25);
        QVERIFY(search.findChild<QLineEdit*>("Text1")->text().isEmpty());

        typeAndEnter(search, "   ");
        QCOMPARE(listView(search)->model()->columnCount(), 0);
        search.findChild<QPushButton*>("PushButton3")->click();
        QCOMPARE(listView(search)->model()->columnCount(), 0);
    });
    QVERIFY(leftOpen);
    QCOMPARE(messages.texts(), QStringList());
}

void SearchWindowTest::findsTextInAnyFieldOfShownPage() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("City", "Textfield");
    env.addRecords(
        {{"Joanna", "Oslo"}, {"Bob", "Annecy"}, {"Carl", QVariant()}, {QVariant(), "Hannover"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    const auto ids = env.query("select ID from CustomTable order by ID");
    withSearchWindow(*window, [&](Form3& search) {
        typeAndEnter(search, "ann");
        QVERIFY2(search.isVisible(), "Enter searches and does not close the window");
        QCOMPARE(headings(search), QStringList({"ID", "Name", "City"}));
        QVERIFY(listView(search)->isColumnHidden(0));
        const auto found = rows(search);
        QCOMPARE(column(found, 0),
                 QStringList({ids[0][0].toString(), ids[1][0].toString(), ids[3][0].toString()}));
        QCOMPARE(found[0], QStringList({ids[0][0].toString(), "Joanna", "Oslo"}));
        QCOMPARE(found[2], QStringList({ids[3][0].toString(), "", "Hannover"}));

        // Blank text keeps the last results; a miss leaves the columns and no rows.
        typeAndEnter(search, " ");
        QCOMPARE(rows(search).size(), 3);
        typeAndEnter(search, "zzz");
        QCOMPARE(headings(search), QStringList({"ID", "Name", "City"}));
        QCOMPARE(rows(search).size(), 0);
        // The text is not trimmed: a leading blank is part of what is searched for.
        typeAndEnter(search, " oslo");
        QCOMPARE(rows(search).size(), 0);
    });
    QCOMPARE(messages.texts(), QStringList());
}

void SearchWindowTest::searchesAndListsSecondPageWhenItIsShown() {
    TestEnvironment env;
    env.addFields(28);
    QVariantList first, second;
    for (int f = 1; f <= 28; ++f) {
        first << QString("one-%1").arg(f);
        second << QString("two-%1").arg(f);
    }
    second[26] = QVariant(); // F27 Null
    env.addRecords({first, second});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    window->findChild<QTabWidget*>("SSTab1")->setCurrentIndex(1);
    settle(*window);
    withSearchWindow(*window, [&](Form3& search) {
        typeAndEnter(search, "-28");
        QCOMPARE(headings(search), QStringList({"ID", "F27", "F28"}));
        const auto found = rows(search);
        QCOMPARE(found.size(), 2);
        QCOMPARE(found[0].mid(1), QStringList({"one-27", "one-28"}));
        QCOMPARE(found[1].mid(1), QStringList({"", "two-28"}));
        // "-5" is only on page 1, which is not searched now.
        typeAndEnter(search, "two-5");
        QCOMPARE(rows(search).size(), 0);
    });
    QCOMPARE(messages.texts(), QStringList());
}

void SearchWindowTest::ignoresCaseOfEveryLetterAndTakesWildcardsLiterally() {
    TestEnvironment env;
    env.addField("Text", "Textfield");
    const QStringList values = {"Émile Zola", "GROẞE Straße", "ÄRGER",      "Москва",
                                "ΑΘΗΝΑ",      "50% off",      "a_b",        "axb",
                                "O'Brien",    "[x] done",     "100 percent"};
    QList<QVariantList> records;
    for (const QString& v : values)
        records << QVariantList{v};
    env.addRecords(records);
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    const QList<std::pair<QString, QStringList>> cases = {
        {"émile", {"Émile Zola"}},
        {"straße", {"GROẞE Straße"}},
        {"ärger", {"ÄRGER"}},
        {"МОСКВА", {"Москва"}},
        {"αθηνα", {"ΑΘΗΝΑ"}},
        {"%", {"50% off"}},
        {"_", {"a_b"}},
        {"o'b", {"O'Brien"}},
        {"[x]", {"[x] done"}},
        {"[", {"[x] done"}},
    };
    withSearchWindow(*window, [&](Form3& search) {
        for (const auto& [text, expected] : cases) {
            typeAndEnter(search, text);
            QCOMPARE(column(rows(search), 1), expected);
        }
    });
    QCOMPARE(messages.texts(), QStringList());
}

void SearchWindowTest::readsValuesOfLongListsOnDemand() {
    TestEnvironment env;
    env.addField("Code", "Textfield");
    env.addField("Other", "Textfield");
    QList<QVariantList> records;
    for (int i = 1; i <= 700; ++i)
        records << QVariantList{QString("code %1").arg(i), i % 2 ? QVariant() : QVariant("even")};
    env.addRecords(records);
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    const auto stored = env.query("select ID, Code, Other from CustomTable order by ID");
    withSearchWindow(*window, [&](Form3& search) {
        typeAndEnter(search, "code");
        const QAbstractItemModel* model = listView(search)->model();
        QCOMPARE(model->rowCount(), 700);
        // Rows read out of order, across chunk boundaries, must match the file row by row.
        for (int r : {699, 0, 255, 256, 511, 512, 300, 1}) {
            QCOMPARE(model->data(model->index(r, 0)).toString(), stored[r][0].toString());
            QCOMPARE(model->data(model->index(r, 1)).toString(), stored[r][1].toString());
            QCOMPARE(model->data(model->index(r, 2)).toString(), stored[r][2].toString());
        }
    });
}

void SearchWindowTest::okAndDoubleClickMoveRecordWindowToChosenRecord() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Town", "Textfield");
    env.addRecords(
        {{"Ann", "Leeds"}, {"Bob", "York"}, {"Cid", "Bath"}, {"Dan", "York"}, {"Eve", "Hull"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);

    withSearchWindow(*window, [&](Form3& search) {
        typeAndEnter(search, "york");
        QCOMPARE(column(rows(search), 1), QStringList({"Bob", "Dan"}));
        auto* view = listView(search);
        view->selectionModel()->select(view->model()->index(1, 1),
                                       QItemSelectionModel::ClearAndSelect |
                                           QItemSelectionModel::Rows);
        search.findChild<QPushButton*>("PushButton1")->click();
    });
    QCOMPARE(shownText(*window, 0), QString("Dan"));
    QCOMPARE(shownText(*window, 1), QString("York"));
    QCOMPARE(positionLabel(*window), QString("Record 4 of 5"));
    QCOMPARE(window->mIndex(), 4);
    QVERIFY2(!gRecordPicked, "the record window clears the flag when it is active again");

    withSearchWindow(*window, [&](Form3& search) {
        typeAndEnter(search, "b");
        QCOMPARE(column(rows(search), 1), QStringList({"Bob", "Cid"}));
        auto* view = listView(search);
        const QRect second = view->visualRect(view->model()->index(1, 1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, second.center());
    });
    QCOMPARE(shownText(*window, 0), QString("Cid"));
    QCOMPARE(positionLabel(*window), QString("Record 3 of 5"));
    QCOMPARE(window->mIndex(), 3);

    // With rows listed and none chosen, OK takes the first.
    withSearchWindow(*window, [&](Form3& search) {
        typeAndEnter(search, "e");
        QCOMPARE(column(rows(search), 1), QStringList({"Ann", "Eve"}));
        listView(search)->clearSelection();
        search.findChild<QPushButton*>("PushButton1")->click();
    });
    QCOMPARE(shownText(*window, 0), QString("Ann"));
    QCOMPARE(positionLabel(*window), QString("Record 1 of 5"));
    QCOMPARE(window->mIndex(), 1);
    QCOMPARE(messages.texts(), QStringList());
}

void SearchWindowTest::okWithEmptyListKeepsWindowOpenAndCancelRebuilds() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}, {"Bob"}, {"Cid"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    window->PushButton12_Click(); // Last
    QCOMPARE(window->mIndex(), 3);

    bool stillOpenAfterOk = false;
    const bool leftOpen = withSearchWindow(*window, [&](Form3& search) {
        search.findChild<QPushButton*>("PushButton1")->click();
        typeAndEnter(search, "nobody");
        search.findChild<QPushButton*>("PushButton1")->click();
        stillOpenAfterOk = search.isVisible();
    });
    QVERIFY(stillOpenAfterOk);
    QVERIFY(leftOpen);
    // Cancel: the record window rebuilt and shows its first record again.
    QCOMPARE(shownText(*window, 0), QString("Ann"));
    QCOMPARE(positionLabel(*window), QString("Record 1 of 3"));
    QCOMPARE(window->mIndex(), 1);
    QCOMPARE(messages.texts(), QStringList());
}

void SearchWindowTest::reportsUnreadableDataFileAndStaysUsable() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    const bool leftOpen = withSearchWindow(*window, [&](Form3& search) {
        QVERIFY(QFile::rename(env.dataFile(), env.dataFile() + ".away"));
        typeAndEnter(search, "ann");
        QVERIFY(QFile::rename(env.dataFile() + ".away", env.dataFile()));
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown[0].title, QString("Application Error"));
        QVERIFY(messages.shown[0].text.contains("in Orvelin2021/08/31.Form4.PushButton3_Click "));
        QCOMPARE(rows(search).size(), 0);
        typeAndEnter(search, "ann");
        QCOMPARE(rows(search).size(), 1);
    });
    QVERIFY(leftOpen);
    QCOMPARE(messages.shown.size(), 1);
}

QTEST_MAIN(SearchWindowTest)
#include "tst_search.moc"
