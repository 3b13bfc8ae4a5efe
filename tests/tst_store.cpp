// The cursor the record window browses and edits through, on the real data file and on a real
// server's database alike.

#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fieldvalue.h"
#include "store/recordcursor.h"
#include "store/recordtable.h"
#include "store/schema.h"
#include "support/testsupport.h"

#include <QTest>
#include <numeric>
#include <thread>

class StoreTest : public QObject {
    Q_OBJECT
  private slots:
    void editsAreWrittenOnLeavingTheRowAndCancelledExactly_data() { storeRows(); }
    void editsAreWrittenOnLeavingTheRowAndCancelledExactly();
    void valuesGoByNameWhateverColumnsChangeElsewhere_data();
    void valuesGoByNameWhateverColumnsChangeElsewhere();
    void typedValuesReadCanonicallyOrRefused_data();
    void typedValuesReadCanonicallyOrRefused();
    void listedInTheOrderOfTheKindAndFilteredByValue_data();
    void listedInTheOrderOfTheKindAndFilteredByValue();
    void manyIdsReadInOrderAndStoppedCleanly();
};

namespace {
using Rows = QList<QVariantList>;
const char* const Stored = "SELECT \"F1\", \"F2\" FROM \"CustomTable\" ORDER BY \"ID\"";

QString nameOf(RecordCursor& records) {
    return records.Fields("F1").Value().toString();
}

qint64 errorOf(const std::function<void()>& step) try {
    step();
    return 0;
} catch (const RuntimeError& e) {
    return e.number();
}
} // namespace

void StoreTest::editsAreWrittenOnLeavingTheRowAndCancelledExactly() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    env.addFields(2);
    env.addRecords({{"Ann", "1"}, {"Bob", "2"}, {"Cid", "3"}});
    auto connection = env.store().open();
    RecordCursor records;
    records.Open(*connection);

    records.Fields("F1").setValue(QString("Anna"));
    records.Cancel();
    QCOMPARE(nameOf(records), QString("Ann"));
    // Saved by someone else after the rows were read: the next move shows it.
    env.execute("UPDATE \"CustomTable\" SET \"F1\" = 'Bobby' WHERE \"ID\" = 2");
    records.MoveNext();
    QCOMPARE(nameOf(records), QString("Bobby"));
    records.Fields("F1").setValue(QString("")); // empty stays empty, never Null
    records.MoveNext();                         // leaving the row writes it
    records.Fields("F2").setValue(QString("007"));
    records.Update();
    QCOMPARE(env.query(Stored), Rows({{"Ann", "1"}, {"", "2"}, {"Cid", "007"}}));

    // A new row cancelled leaves no trace; one moved off is written, Null kept as Null.
    records.AddNew();
    records.Fields("F1").setValue(QString("Dan"));
    records.Cancel();
    QCOMPARE(nameOf(records), QString("Cid"));
    records.AddNew();
    records.Fields("F2").setValue(QString(" x"));
    records.MoveFirst();
    QCOMPARE(records.RecordCount(), 4L);
    QCOMPARE(env.query(Stored).last(), QVariantList({QVariant(), " x"}));

    // A deleted row stays current without values until the position moves.
    records.MoveNext();
    records.Delete();
    QCOMPARE(errorOf([&] { nameOf(records); }), ErrorNumber::NoCurrentRecord);
    records.MoveNext();
    QCOMPARE(nameOf(records), QString("Cid"));
    records.MovePrevious();
    QCOMPARE(nameOf(records), QString("Ann"));
    QCOMPARE(env.query(Stored), Rows({{"Ann", "1"}, {"Cid", "007"}, {QVariant(), " x"}}));
}

void StoreTest::valuesGoByNameWhateverColumnsChangeElsewhere_data() {
    QTest::addColumn<StoreKind>("store");
    QTest::addColumn<bool>("readBefore"); // the record was read before the columns changed
    for (const auto& [name, store] : Stores) {
        QTest::addRow("%s: read right after a column was added", name) << store << true;
        QTest::addRow("%s: set right after a column was dropped", name) << store << false;
    }
}

// The field list works on a connection of its own while the record window's cursor is open.
void StoreTest::valuesGoByNameWhateverColumnsChangeElsewhere() {
    QFETCH(StoreKind, store);
    QFETCH(bool, readBefore);
    TestEnvironment env(store);
    env.addFields(2);
    env.addRecords({{"a1", "b1"}, {"a2", "b2"}});
    auto window = env.store().open();
    RecordCursor records;
    records.Open(*window);
    records.MoveNext();
    if (readBefore)
        QCOMPARE(records.Fields("F2").Value().toString(), QString("b2"));
    auto fieldList = env.store().open();
    fieldList->Execute(Sql::addFieldColumn("C"));
    fieldList->Execute("update \"CustomTable\" set \"C\" = 'c' || \"ID\"");
    fieldList->Execute(Sql::dropFieldColumn("F1"));
    if (readBefore)
        QCOMPARE(records.Fields("C").Value().toString(), QString("c2"));
    records.Fields("F2").setValue(QString("mine"));
    records.Update();
    QCOMPARE(env.query("SELECT * FROM \"CustomTable\" WHERE \"ID\" < 3"),
             Rows({{"1", "b1", "c1"}, {"2", "mine", "c2"}}));
}

void StoreTest::typedValuesReadCanonicallyOrRefused_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("canonical"); // empty when refused
    const auto row = [](const char* name, const char* type, const char* locale, const QString& text,
                        const char* canonical) {
        QTest::newRow(name) << type << locale << text << canonical;
    };
    row("german grouping", "Number", "de_DE", "-1.234,50", "-1234.5");
    row("german, canonical", "Number", "de_DE", "0.25", "0.25");
    row("english grouping", "Number", "en_US", "1,234.5", "1234.5");
    row("misplaced grouping", "Number", "en_US", "1,5", "");
    row("leading zeros and point", "Number", "en_US", "007.", "7");
    row("negative zero", "Number", "en_US", "-0", "0");
    row("negative zero money", "Currency", "en_US", "-0.00", "0.00");
    row("exponent", "Number", "en_US", "1e400", "");
    row("NaN", "Number", "en_US", "NaN", "");
    row("infinity", "Number", "en_US", "inf", "");
    row("a thousand digits", "Number", "en_US", QString(1000, u'9'), "");
    row("fifteen digits", "Number", "en_US", "-0.000123456789012345", "-0.000123456789012345");
    row("sixteen digits", "Number", "en_US", "1234567890123456", "");
    row("tiny", "Number", "en_US", "0." + QString(30, u'0') + "1", "");
    row("arabic digits", "Number", "ar_EG", QString::fromUtf8("\u0661\u0662\u066b\u0665"), "12.5");
    row("direction marks", "Number", "he_IL", QString::fromUtf8("\u200f\u2067-12\u2069"), "-12");
    row("money padded", "Currency", "de_DE", "1.234,5", "1234.50");
    row("money, third decimal", "Currency", "en_US", "1.005", "");
    row("german date", "Date", "de_DE", "8.12.1948", "1948-12-08");
    row("arabic date, shown with marks", "Date", "ar_EG", "1948-12-08", "1948-12-08");
    row("english short date", "Date", "en_US", "12/8/1948", "1948-12-08");
    row("written date", "Date", "de_DE", "December 8, 1948", "1948-12-08");
    row("canonical with time", "Date", "en_US", "1948-12-08 13:05", "1948-12-08T13:05:00");
    row("time in the locale", "Date", "de_DE", "08.12.1948 13:05:09", "1948-12-08T13:05:09");
    row("31 February", "Date", "en_US", "2023-02-31", "");
    row("31 February, written", "Date", "en_US", "February 31, 2023", "");
    row("year 0", "Date", "en_US", "0000-01-01", "");
    row("year 10000", "Date", "en_US", "1/1/10000", "");
    row("time zone", "Date", "en_US", "2024-01-01T10:00:00Z", "");
    row("time zone offset", "Date", "en_US", "2024-01-01T10:00:00+02:00", "");
    row("hour 24", "Date", "en_US", "2024-01-01T24:00:00", "");
}

// Every value stored is canonical and reads back as itself in the locale it is shown in.
void StoreTest::typedValuesReadCanonicallyOrRefused() {
    QFETCH(QString, type);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(QString, canonical);
    const FieldKind kind = fieldKindOf(type.toLower());
    const QLocale where(locale);
    const ParsedValue parsed = parseFieldValue(kind, text, where);
    QCOMPARE(parsed.ok() ? parsed.canonical : QString(), canonical);
    QCOMPARE(parsed.ok(), parsed.problem.isEmpty() && !canonical.isEmpty());
    if (!parsed.ok())
        return;
    const QString shown = displayFieldValue(kind, canonical, where);
    QCOMPARE(parseFieldValue(kind, shown, where).canonical, canonical);
}

void StoreTest::listedInTheOrderOfTheKindAndFilteredByValue_data() {
    QTest::addColumn<StoreKind>("store");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("ask"); // "up", "down", else a filter's text
    QTest::addColumn<QList<qint64>>("ids");
    // clang-format off
    const std::tuple<const char*, const char*, const char*, QList<qint64>> cases[] = {
        {"numbers by value, others after, empty last", "Number", "up", {8, 3, 6, 2, 7, 1, 9, 4, 5}},
        {"numbers reversed", "Number", "down", {1, 2, 7, 6, 3, 8, 9, 4, 5}},
        {"money", "Currency", "up", {3, 2, 6, 5, 1, 9, 8, 7, 4}},
        {"money reversed", "Currency", "down", {1, 5, 2, 6, 3, 7, 8, 9, 4}},
        {"dates by time, a day before its times", "Date", "up", {4, 3, 6, 2, 1, 8, 7, 9, 5}},
        {"dates reversed", "Date", "down", {1, 2, 6, 3, 4, 9, 7, 8, 5}},
        {"text in the locale", "Textfield", "up", {9, 5, 6, 3, 1, 2, 7, 8, 4}},
        {"above", "Number", "> 9", {1}},
        {"at least", "Number", ">=9", {1, 2, 7}},
        {"below", "Number", "<0", {3, 8}},
        {"equal", "Number", "= 9.0", {2, 7}},
        {"between", "Number", "-3..1", {3, 6}},
        {"from", "Number", "0.75..", {1, 2, 6, 7}},
        {"money in the locale", "Currency", ">1,000", {1}},
        {"money between", "Currency", "100..1234.5", {1, 5}},
        {"a whole day", "Date", "= 2020-01-01", {2, 3, 6}},
        {"after a day", "Date", "> 2020-01-01", {1}},
        {"up to a day, in the locale", "Date", "<= 1/1/2020", {2, 3, 4, 6}},
        {"before a day", "Date", "< 2020-01-01", {4}},
        {"from a time to a day", "Date", "2020-01-01T09:30..2020-01-02", {1, 2}},
    };
    // clang-format on
    for (const auto& [store, storeKind] : Stores)
        for (const auto& [name, type, ask, ids] : cases)
            QTest::addRow("%s: %s", store, name) << storeKind << type << ask << ids;
}

void StoreTest::listedInTheOrderOfTheKindAndFilteredByValue() {
    QFETCH(StoreKind, store);
    QFETCH(QString, type);
    QFETCH(QString, ask);
    QFETCH(QList<qint64>, ids);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TestEnvironment env(store);
    env.addFields({{"Number", "Number"},
                   {"Currency", "Currency"},
                   {"Date", "Date"},
                   {"Textfield", "Textfield"}});
    const QVariant none;
    env.addRecords({{"10", "1234.50", "2020-01-02", "b"},
                    {"9", "99.99", "2020-01-01T10:00:00", "B"},
                    {"-2.5", "-0.01", "2020-01-01", "a"},
                    {"", "", "1899-12-31", none},
                    {none, "100.00", "", "10"},
                    {"0.75", "99.99", "2020-01-01T09:00:00", "9"},
                    {"9", "n/a", "2020-1-1", "é"},
                    {"-10", "12,50", "1.1.2020", "f"},
                    {"n/a", "-", "20200101", "-"}});
    TableQuery query;
    if (ask == "up" || ask == "down")
        query.orderColumn = type, query.descending = ask == "down";
    else
        query.filters = {{type, ask}};
    const auto connection = env.store().open();
    const std::vector<qint64> got = selectTableIds(*connection, query);
    QCOMPARE(QList<qint64>(got.begin(), got.end()), ids);
    const std::vector<qint64> first = selectFirstTableIds(*connection, query, 3);
    QCOMPARE(QList<qint64>(first.begin(), first.end()), ids.mid(0, 3));
}

// Ids read a batch at a time come whole and in order; a read stopped (wherever it was) leaves the
// connection for the next.
void StoreTest::manyIdsReadInOrderAndStoppedCleanly() {
    TestEnvironment env(StoreKind::Server);
    env.addFields({{"Number", "Number"}});
    const auto connection = env.store().open();
    connection->Execute("INSERT INTO \"CustomTable\" (\"Number\") SELECT CAST(n AS text) FROM "
                        "generate_series(1, 25003) n");
    const TableQuery query{"Number", true, {}, {}};
    std::vector<qint64> expected(25003);
    std::iota(expected.rbegin(), expected.rend(), 1);
    QVERIFY(selectTableIds(*connection, query) == expected);
    std::thread stop([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        connection->interrupt();
    });
    try {
        selectTableIds(*connection, query);
    } catch (const RuntimeError&) {
    }
    stop.join();
    QVERIFY(selectTableIds(*connection, query) == expected);
}

QTEST_MAIN(StoreTest)
#include "tst_store.moc"
