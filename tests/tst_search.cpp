#include "record/form1.h"
#include "search/form3.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/fieldrules.h"
#include "store/schema.h"
#include "store/searchindex.h"
#include "store/serversearch.h"
#include "support/testsupport.h"

#include <QAbstractItemModel>
#include <QFile>
#include <QHeaderView>
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
    QList<QStringList> result;
    for (int r = -1; r < model->rowCount(); ++r) {
        result << QStringList();
        for (int c = 0; c < model->columnCount(); ++c)
            result.last() << (r < 0 ? model->headerData(c, Qt::Horizontal)
                                    : model->data(model->index(r, c)))
                                 .toString();
    }
    return result;
}

QString shown(Form1& window) {
    return textBox(window, 0)->text() + " / " + window.findChild<QLabel*>("lblRecord")->text() +
           " / " + QString::number(window.mIndex());
}

// clang-format off
const QList<QVariantList> MixedRecords = {
    {"Crème Brûlée", "Ελληνικά", "needle"}, {"МОСКВА", "straße", QVariant()},
    {"GROẞE", "İstanbul ıi", "C only text"}, {"東京都 渋谷", "🙂 emoji 🙃", QVariant()},
    {"50% off_now", "[x] O'Brien \\ back", "say \"hi\""}, {"  lead blank", "KELVIN \u212A", ""},
    {QVariant(), "σοφός ΣΟΦΟΣ", "Crème"}, {"plain value", "to delete", "x"}};
// Each with the records holding it after the writes of the test below.
const QList<std::tuple<const char*, const char*, int>> SearchTexts = {
    {"accents", "crème", 2}, {"accents upper", "BRÛLÉE", 1}, {"greek", "ελλην", 1},
    {"final sigma", "ός σ", 1}, {"cyrillic", "москва", 1}, {"sharp s", "straße", 1},
    {"capital sharp s", "große", 1}, {"dotted I", "İst", 1}, {"dotless i", "ıi", 1},
    {"cjk", "京都 渋", 1}, {"emoji", "🙂 e", 1}, {"kelvin sign", "n k", 1}, {"percent", "%", 1}, {"percent in text", "% o", 1}, {"underscore", "_", 1},
    {"underscore in text", "f_n", 1}, {"bracket", "[x]", 1}, {"apostrophe", "o'b", 1},
    {"double quote", "y \"h", 1}, {"backslash", "\\ b", 1}, {"leading blanks", "  le", 1},
    {"one letter", "è", 2}, {"updated", "needle", 1}, {"dropped field", "c only", 0},
    {"deleted", "plain", 0}, {"inserted", "inserted", 1}, {"nowhere", "zzz", 0}};
// clang-format on

} // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void findsTextInAnyFieldOfShownPage_data() { storeRows(); }
    void findsTextInAnyFieldOfShownPage();
    void indexFindsWhatTheScanFinds_data();
    void indexFindsWhatTheScanFinds();
    void okMovesRecordWindowCancelRebuildsItSecondPageIsSearchedAlone();
    void headingClickOrdersTheResultsByKind_data() { storeRows(); }
    void headingClickOrdersTheResultsByKind();
};

void SearchWindowTest::findsTextInAnyFieldOfShownPage() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    env.addFields(2);
    QList<QVariantList> records{
        {"Joanna", "Oslo"}, {"Bob", "Annecy"}, {"Carl", QVariant()}, {QVariant(), "Hannover"}};
    for (int i = 1; i <= 700; ++i)
        records << QVariantList{QString("code %1").arg(i), i % 2 ? QVariant() : QVariant("even")};
    env.addRecords(records);
    if (env.onServer()) // as an older version left it: a field's own index, no search document
        env.execute("DROP TABLE \"SearchDocument\"; DROP FUNCTION \"SearchDocumentKeep\" CASCADE; "
                    "CREATE INDEX " +
                    Sql::quoteName(ServerSearch::columnIndexName("F1")) +
                    " ON \"CustomTable\" USING gin (\"F1\" gin_trgm_ops)");
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    const auto ids =
        env.query("select \"ID\", \"F1\", \"F2\" from \"CustomTable\" order by \"ID\"");
    const bool leftOpen = withSearchWindow(*window, [&](Form3& search) {
        QCOMPARE(find(search, "   "), QList<QStringList>{{}}); // blank: nothing searched
        QCOMPARE(find(search, "ann"), QList<QStringList>({{"ID", "F1", "F2"},
                                                          {"1", "Joanna", "Oslo"},
                                                          {"2", "Bob", "Annecy"},
                                                          {"4", "", "Hannover"}}));
        QVERIFY(listView(search)->isColumnHidden(0));
        QCOMPARE(find(search, " ").size(), 4);     // blank: the last results stay
        QCOMPARE(find(search, " oslo").size(), 1); // the text is not trimmed
        // Long lists are read on demand: out of order and across chunk boundaries, each row
        // still holds its own record.
        find(search, "code");
        const QAbstractItemModel* model = listView(search)->model();
        for (int r : {699, 0, 255, 256, 511, 512, 300, 1})
            for (int c = 0; c < 3; ++c)
                QCOMPARE(model->data(model->index(r, c)).toString(), ids[r + 4][c].toString());
    });
    if (env.onServer()) // searching made the document; the field's index went
        QCOMPARE(env.query("SELECT indexname FROM pg_indexes WHERE indexdef LIKE '%gin_trgm%'"),
                 QList<QVariantList>{{"SearchDocumentTrigrams"}});
    else
        QVERIFY2(env.query("SELECT * FROM SearchIndexState").size() == 1, "searching built it");
    QVERIFY2(leftOpen, "neither Enter nor a blank search closes the window");
    QCOMPARE(messages.texts(), QStringList());
}

void SearchWindowTest::indexFindsWhatTheScanFinds_data() {
    QTest::addColumn<StoreKind>("store");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("found");
    for (const auto& [store, kind] : Stores)
        for (const auto& [name, text, found] : SearchTexts)
            QTest::addRow("%s: %s", store, name) << kind << QString::fromUtf8(text) << found;
    QTest::newRow("local: D the 1,999th field") << StoreKind::Local << QString("needle") << 1;
}

// Built, then kept in step by the triggers, the index gives what the scan gives, in order; a
// server's indexes and its search give the same records for the same text.
void SearchWindowTest::indexFindsWhatTheScanFinds() {
    QFETCH(StoreKind, store);
    QFETCH(QString, text);
    QFETCH(int, found);
    TestEnvironment env(store);
    // 1,999 fields once D is added: the most a data file holds.
    env.addFields(QString(QTest::currentDataTag()).contains("1,999th") ? 1998 : 3);
    env.addRecords(MixedRecords);
    Connection connection;
    connection.Open(env.connectionString());
    SearchIndex::build(connection);
    addFieldToTables(connection, FieldDefinition{"D", "Textfield", "8", ""});
    connection.Execute("UPDATE \"CustomTable\" SET \"D\" = \"F3\" WHERE \"F3\" NOT LIKE 'C only%'");
    deleteFieldFromTables(connection, "F3");
    connection.Execute("DELETE FROM \"CustomTable\" WHERE \"F2\" = 'to delete'");
    connection.Execute("INSERT INTO \"CustomTable\" (\"D\") VALUES ('inserted later')");
    RecordSearch search(env.store(), {"F1", "F2", "D"}, text);
    const std::vector<qint64> ids = search.run();
    QCOMPARE(search.usedIndex(), text.toCaseFolded().toUcs4().size() >= 3);
    QCOMPARE(ids, search.scan());
    QCOMPARE(int(ids.size()), found);
}

// Also: with the second page shown only its fields are searched and listed, and a search that
// fails is reported with the window still usable.
void SearchWindowTest::okMovesRecordWindowCancelRebuildsItSecondPageIsSearchedAlone() {
    TestEnvironment env;
    env.addFields(28);
    env.addRecords(
        {{"Ann", "Leeds"}, {"Bob", "York"}, {"Cid", "Bath"}, {"Dan", "York"}, {"Eve", "Hull"}});
    env.execute("UPDATE CustomTable SET F27 = iif(ID = 2, 'b27', NULL), F28 = F2 || '-28'");
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    withSearchWindow(*window, [&](Form3& search) {
        find(search, "york");
        listView(search)->setCurrentIndex(listView(search)->model()->index(1, 1));
        press(search, "PushButton1");
    });
    QCOMPARE(shown(*window), QString("Dan / Record 4 of 5 / 4"));
    withSearchWindow(*window, [&](Form3& search) {
        find(search, "e"); // Ann, Eve
        listView(search)->clearSelection();
        press(search, "PushButton1"); // nothing chosen: the first row
    });
    QCOMPARE(shown(*window), QString("Ann / Record 1 of 5 / 1"));
    window->PushButton12_Click(); // Last
    const bool openAfterOk = withSearchWindow(*window, [&](Form3& search) {
        press(search, "PushButton1");
        find(search, "nobody");
        press(search, "PushButton1");
    });
    QVERIFY2(openAfterOk, "OK with an empty list keeps the window open");
    QCOMPARE(shown(*window), QString("Ann / Record 1 of 5 / 1")); // Cancel: rebuilt
    window->findChild<QTabWidget*>("SSTab1")->setCurrentIndex(1);
    settle(*window);
    withSearchWindow(*window, [&](Form3& search) {
        const QList<QStringList> york{
            {"ID", "F27", "F28"}, {"2", "b27", "York-28"}, {"4", "", "York-28"}};
        QCOMPARE(find(search, "ork"), york);
        QCOMPARE(find(search, "Bob").size(), 1); // page 1 is not searched now
        QVERIFY(QFile::rename(env.dataFile(), env.dataFile() + ".away"));
        QCOMPARE(find(search, "ork").size(), 1);
        QVERIFY(QFile::rename(env.dataFile() + ".away", env.dataFile()));
        QCOMPARE(find(search, "ork"), york);
    });
    QVERIFY(messages.saidOnce({"in Orvelin2021/08/31.Form4.PushButton3_Click "}));
    QCOMPARE(messages.shown[0].title, QString("Application Error"));
}

// A click on a heading orders the results by its field's kind, again the other way; a new
// search lists by id again.
void SearchWindowTest::headingClickOrdersTheResultsByKind() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    env.addFields({{"Name", "Textfield"}, {"Amount", "Number"}});
    env.addRecords({{"x a", "10"}, {"x b", "9"}, {"y", "1"}, {"x c", QVariant()}, {"x d", "-1.5"}});
    ScriptedMessages messages;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto window = startRecordWindow(messages, env);
    withSearchWindow(*window, [&](Form3& search) {
        const auto listed = [&] {
            QStringList ids;
            const QAbstractItemModel* model = listView(search)->model();
            for (int r = 0; r < model->rowCount(); ++r)
                ids << model->index(r, 0).data().toString();
            return ids.join(' ');
        };
        const auto clicked = [&](int section) {
            QHeaderView* header = listView(search)->header();
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 4, 4));
            return listed();
        };
        QCOMPARE(find(search, "x").last(), (QStringList{"5", "x d", "-1,5"}));
        QCOMPARE(clicked(2), QString("5 2 1 4"));
        QCOMPARE(clicked(2), QString("1 2 5 4"));
        QCOMPARE(clicked(1), QString("1 2 4 5"));
        QCOMPARE(clicked(1), QString("5 4 2 1"));
        find(search, "x");
        QCOMPARE(listed(), QString("1 2 4 5"));
    });
    QCOMPARE(messages.texts(), QStringList());
    QLocale::setDefault(QLocale::system());
}

QTEST_MAIN(SearchWindowTest)
#include "tst_search.moc"
