#include "app/flags.h"
#include "record/form1.h"
#include "search/form3.h"
#include "support/testsupport.h"

#include <QAbstractItemModel>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

// Opens the search window with the record window's Search command and lets the user act on
// it; true when it was still open afterwards (it is then cancelled).
bool withSearchWindow(Form1& window, const std::function<void(Form3&)>& act) {
    bool leftOpen = false;
    QTimer::singleShot(0, &window, [&] {
        auto* search = window.findChild<Form3*>();
        act(*search);
        leftOpen = search->isVisible();
        if (leftOpen)
            search->findChild<QPushButton*>("PushButton2")->click();
    });
    window.PushButton7_Click();
    settle(window);
    return leftOpen;
}

QTreeView* listView(Form3& search) {
    return search.findChild<QTreeView*>("ListView1");
}

// Types the text and presses Enter; gives the headings, then every row as listed.
QList<QStringList> find(Form3& search, const QString& text) {
    auto* box = search.findChild<QLineEdit*>("Text1");
    box->setText(text);
    QTest::keyClick(box, Qt::Key_Return);
    const QAbstractItemModel* model = listView(search)->model();
    QList<QStringList> result{{}};
    for (int c = 0; c < model->columnCount(); ++c)
        result[0] << model->headerData(c, Qt::Horizontal).toString();
    for (int r = 0; r < model->rowCount(); ++r) {
        result << QStringList();
        for (int c = 0; c < model->columnCount(); ++c)
            result.last() << model->data(model->index(r, c)).toString();
    }
    return result;
}

QStringList column(const QList<QStringList>& listed, int c) {
    QStringList values;
    for (const QStringList& row : listed.mid(1))
        values << row.value(c);
    return values;
}

void clickOk(Form3& search) {
    search.findChild<QPushButton*>("PushButton1")->click();
}

QString shown(Form1& window) {
    return qobject_cast<QLineEdit*>(window.mInputControls()[0])->text() + " / " +
           window.findChild<QLabel*>("lblRecord")->text() + " / " +
           QString::number(window.mIndex());
}

} // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void findsTextInAnyFieldOfShownPage();
    void searchesAndListsSecondPageWhenItIsShown();
    void ignoresCaseAndTakesWildcardsLiterallyOverLongLists();
    void okAndDoubleClickMoveRecordWindowCancelRebuildsIt();
    void reportsUnreadableDataFileAndStaysUsable();
};

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
    const bool leftOpen = withSearchWindow(*window, [&](Form3& search) {
        QCOMPARE(find(search, "   "), QList<QStringList>{{}}); // blank: nothing searched
        const auto found = find(search, "ann");
        QCOMPARE(found[0], QStringList({"ID", "Name", "City"}));
        QVERIFY(listView(search)->isColumnHidden(0));
        QCOMPARE(found.size(), 4);
        QCOMPARE(found[1], QStringList({ids[0][0].toString(), "Joanna", "Oslo"}));
        QCOMPARE(found[2][0], ids[1][0].toString());
        QCOMPARE(found[3], QStringList({ids[3][0].toString(), "", "Hannover"}));
        QCOMPARE(find(search, " ").size(), 4); // blank: the last results stay
        QCOMPARE(find(search, "zzz"), QList<QStringList>{found[0]});
        QCOMPARE(find(search, " oslo").size(), 1); // the text is not trimmed
    });
    QVERIFY2(leftOpen, "neither Enter nor a blank search closes the window");
    QCOMPARE(messages.texts(), QStringList());
}

void SearchWindowTest::searchesAndListsSecondPageWhenItIsShown() {
    TestEnvironment env;
    env.addFields(28);
    QVariantList first, second;
    for (int f = 1; f <= 28; ++f) {
        first << QString("one-%1").arg(f);
        second << (f == 27 ? QVariant() : QVariant(QString("two-%1").arg(f)));
    }
    env.addRecords({first, second});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    window->findChild<QTabWidget*>("SSTab1")->setCurrentIndex(1);
    settle(*window);
    withSearchWindow(*window, [&](Form3& search) {
        const auto found = find(search, "-28");
        QCOMPARE(found, QList<QStringList>({{"ID", "F27", "F28"},
                                            {found[1][0], "one-27", "one-28"},
                                            {found[2][0], "", "two-28"}}));
        QCOMPARE(find(search, "two-5").size(), 1); // page 1 is not searched now
    });
}

void SearchWindowTest::ignoresCaseAndTakesWildcardsLiterallyOverLongLists() {
    TestEnvironment env;
    env.addField("Text", "Textfield");
    env.addField("Other", "Textfield");
    QList<QVariantList> records;
    for (const char* v : {"GROẞE Straße", "Москва", "50% off", "a_b", "axb", "O'Brien", "[x] done"})
        records << QVariantList{QString::fromUtf8(v)};
    for (int i = 1; i <= 700; ++i)
        records << QVariantList{QString("code %1").arg(i), i % 2 ? QVariant() : QVariant("even")};
    env.addRecords(records);
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    const QList<std::pair<QString, QString>> cases = {
        {"straße", "GROẞE Straße"}, {"МОСКВА", "Москва"}, {"%", "50% off"}, {"_", "a_b"},
        {"o'b", "O'Brien"},         {"[x]", "[x] done"}};
    const auto stored = env.query("select ID, Text, Other from CustomTable where ID > 7");
    withSearchWindow(*window, [&](Form3& search) {
        for (const auto& [text, expected] : cases)
            QCOMPARE(column(find(search, text), 1), QStringList{expected});
        // Long lists are read on demand: out of order and across chunk boundaries, each row
        // still holds its own record.
        find(search, "code");
        const QAbstractItemModel* model = listView(search)->model();
        QCOMPARE(model->rowCount(), 700);
        for (int r : {699, 0, 255, 256, 511, 512, 300, 1})
            for (int c = 0; c < 3; ++c)
                QCOMPARE(model->data(model->index(r, c)).toString(), stored[r][c].toString());
    });
    QCOMPARE(messages.texts(), QStringList());
}

void SearchWindowTest::okAndDoubleClickMoveRecordWindowCancelRebuildsIt() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Town", "Textfield");
    env.addRecords(
        {{"Ann", "Leeds"}, {"Bob", "York"}, {"Cid", "Bath"}, {"Dan", "York"}, {"Eve", "Hull"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);

    withSearchWindow(*window, [&](Form3& search) {
        QCOMPARE(column(find(search, "york"), 1), QStringList({"Bob", "Dan"}));
        listView(search)->selectionModel()->select(listView(search)->model()->index(1, 1),
                                                   QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
        clickOk(search);
    });
    QCOMPARE(shown(*window), QString("Dan / Record 4 of 5 / 4"));
    QVERIFY2(!gRecordPicked, "the record window clears the flag when it is active again");

    withSearchWindow(*window, [&](Form3& search) {
        QCOMPARE(column(find(search, "b"), 1), QStringList({"Bob", "Cid"}));
        auto* view = listView(search);
        const QPoint second = view->visualRect(view->model()->index(1, 1)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, second);
    });
    QCOMPARE(shown(*window), QString("Cid / Record 3 of 5 / 3"));

    withSearchWindow(*window, [&](Form3& search) {
        QCOMPARE(column(find(search, "e"), 1), QStringList({"Ann", "Eve"}));
        listView(search)->clearSelection();
        clickOk(search); // nothing chosen: the first row
    });
    QCOMPARE(shown(*window), QString("Ann / Record 1 of 5 / 1"));

    window->PushButton12_Click(); // Last
    bool openAfterOk = false;
    withSearchWindow(*window, [&](Form3& search) {
        clickOk(search);
        find(search, "nobody");
        clickOk(search);
        openAfterOk = search.isVisible();
    });
    QVERIFY2(openAfterOk, "OK with an empty list keeps the window open");
    QCOMPARE(shown(*window), QString("Ann / Record 1 of 5 / 1")); // Cancel: rebuilt
    QCOMPARE(messages.texts(), QStringList());
}

void SearchWindowTest::reportsUnreadableDataFileAndStaysUsable() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"Ann"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    withSearchWindow(*window, [&](Form3& search) {
        QVERIFY(QFile::rename(env.dataFile(), env.dataFile() + ".away"));
        QCOMPARE(find(search, "ann").size(), 1);
        QVERIFY(QFile::rename(env.dataFile() + ".away", env.dataFile()));
        QCOMPARE(find(search, "ann").size(), 2);
    });
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].title, QString("Application Error"));
    QVERIFY(messages.shown[0].text.contains("in Orvelin2021/08/31.Form4.PushButton3_Click "));
}

QTEST_MAIN(SearchWindowTest)
#include "tst_search.moc"
