// The record set the windows browse and edit through, opened their way, on the real data file
// and on a real server's database alike.

#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/searchindex.h"
#include "support/testsupport.h"

#include <QTest>

class StoreTest : public QObject {
    Q_OBJECT
  private slots:
    void editsAreWrittenOnLeavingTheRowAndCancelledExactly_data() { storeRows(); }
    void editsAreWrittenOnLeavingTheRowAndCancelledExactly();
    void openSetReadsAcrossChunksAndFollowsColumnsChangedElsewhere_data() { storeRows(); }
    void openSetReadsAcrossChunksAndFollowsColumnsChangedElsewhere();
};

namespace {
using Rows = QList<QVariantList>;
const char* const Stored = "SELECT \"F1\", \"F2\" FROM \"CustomTable\" ORDER BY \"ID\"";

QString nameOf(Recordset& records) {
    return records.Fields(1).Value().toString();
}

qint64 errorOf(const std::function<void()>& step) try {
    step();
    return 0;
} catch (const RuntimeError& e) {
    return e.number();
}

// Numbered records with gaps in their IDs (every seventh left out): "a<n>", "b<n>".
void addNumbered(const TestEnvironment& env, int count) {
    env.addFields(2);
    env.execute(
        QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                "INSERT INTO \"CustomTable\" SELECT i, 'a' || i, 'b' || i FROM n WHERE i % 7 <> 0")
            .arg(count));
}
} // namespace

void StoreTest::editsAreWrittenOnLeavingTheRowAndCancelledExactly() {
    QFETCH(Store, store);
    TestEnvironment env(store);
    env.addFields(2);
    env.addRecords({{"Ann", "1"}, {"Bob", "2"}, {"Cid", "3"}});
    auto connection = OpenConnection();
    Recordset records;
    records.Open(Sql::SelectCustomTable, *connection, adOpenKeyset, adLockOptimistic);

    records.Fields(1).setValue(QString("Anna"));
    records.Cancel();
    QCOMPARE(nameOf(records), QString("Ann"));
    // Saved by someone else after the rows were read: the next move shows it.
    env.execute("UPDATE \"CustomTable\" SET \"F1\" = 'Bobby' WHERE \"ID\" = 2");
    records.MoveNext();
    QCOMPARE(nameOf(records), QString("Bobby"));
    records.Fields(1).setValue(QString("")); // empty stays empty, never Null
    records.MoveNext();                      // leaving the row writes it
    records.Fields(2).setValue(QString("007"));
    records.Update();
    QCOMPARE(env.query(Stored), Rows({{"Ann", "1"}, {"", "2"}, {"Cid", "007"}}));

    // A new row cancelled leaves no trace; one moved off is written, Null kept as Null.
    records.AddNew();
    records.Fields(1).setValue(QString("Dan"));
    records.Cancel();
    QCOMPARE(nameOf(records), QString("Cid"));
    records.AddNew();
    records.Fields(2).setValue(QString(" x"));
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

void StoreTest::openSetReadsAcrossChunksAndFollowsColumnsChangedElsewhere() {
    QFETCH(Store, store);
    TestEnvironment env(store);
    addNumbered(env, 300); // several times what the set reads at a time
    auto window = OpenConnection();
    Recordset records;
    records.Open(Sql::SelectCustomTable, *window, adOpenKeyset, adLockOptimistic);
    QStringList forward, backward;
    for (; !records.IsEOF(); records.MoveNext())
        forward << nameOf(records);
    QCOMPARE(errorOf([&] { records.MoveNext(); }), ErrorNumber::NoCurrentRecord);
    for (records.MoveLast(); !records.IsBOF(); records.MovePrevious())
        backward.prepend(nameOf(records));
    QStringList expected;
    for (const QVariantList& row : env.query("SELECT \"F1\" FROM \"CustomTable\" ORDER BY \"ID\""))
        expected << row[0].toString();
    QCOMPARE(forward, expected);
    QCOMPARE(backward, expected);
    QCOMPARE(records.RecordCount(), long(expected.size()));

    // The field list works on a connection of its own while the set is open.
    auto fieldList = OpenConnection();
    fieldList->Execute(Sql::addFieldColumn("C"));
    fieldList->Execute("update \"CustomTable\" set \"C\" = 'c' || \"ID\"");
    Recordset fresh; // a set opened afresh on the window's connection sees it at once
    fresh.Open(Sql::SelectCustomTable, *window, adOpenKeyset, adLockOptimistic);
    QCOMPARE(fresh.Fields(3).Name(), QString("C"));
    records.MoveLast();
    QCOMPARE(nameOf(records), QString("a300"));
    QCOMPARE(records.Fields(3).Value().toString(), QString("c300"));
    records.MoveFirst();
    QCOMPARE(nameOf(records), QString("a1"));
    fieldList->Execute(Sql::dropFieldColumn("F1"));
    records.Fields("F2").setValue(QString("changed"));
    records.Update();
    QCOMPARE(env.query("SELECT * FROM \"CustomTable\" WHERE \"ID\" = 1"),
             Rows({{"1", "changed", "c1"}}));
    records.MoveNext();
    QCOMPARE(records.fieldCount(), 3);
    QCOMPARE(records.Fields("C").Value().toString(), QString("c2"));
}

QTEST_MAIN(StoreTest)
#include "tst_store.moc"
