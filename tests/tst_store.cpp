// The record set the windows browse and edit through, on the real data file.

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
    void editsAreWrittenOnLeavingTheRowAndCancelledExactly();
    void rowsAreReadAcrossChunksBothWays();
    void openSetFollowsColumnsChangedElsewhere();
};

namespace {
// The record window's way of opening its set.
void openRecords(Recordset& records, Connection& connection) {
    records.Open(Sql::SelectCustomTable, connection, adOpenKeyset, adLockOptimistic);
}

QString nameOf(Recordset& records) {
    return records.Fields(1).Value().toString();
}

QStringList stored(const TestEnvironment& env) {
    QStringList values;
    for (const QVariantList& row : env.query("SELECT A, B FROM CustomTable ORDER BY ID"))
        values << (row[0].isNull() ? "<null>" : row[0].toString()) + '|' + row[1].toString();
    return values;
}

qint64 errorOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}
} // namespace

void StoreTest::editsAreWrittenOnLeavingTheRowAndCancelledExactly() {
    TestEnvironment env;
    env.addField("A", "Textfield");
    env.addField("B", "Textfield");
    env.addRecords({{"Ann", "1"}, {"Bob", "2"}, {"Cid", "3"}});
    auto connection = OpenConnection();
    Recordset records;
    openRecords(records, *connection);

    records.Fields(1).setValue(QString("Anna"));
    records.Cancel();
    QCOMPARE(nameOf(records), QString("Ann"));
    records.MoveNext();
    records.Fields(1).setValue(QString("")); // empty stays empty, never Null
    records.MoveNext();                      // leaving the row writes it
    records.Fields(2).setValue(QString("007"));
    records.Update();
    QCOMPARE(stored(env), QStringList({"Ann|1", "|2", "Cid|007"}));

    // A new row cancelled leaves no trace; one moved off is written, Null kept as Null.
    records.AddNew();
    records.Fields(1).setValue(QString("Dan"));
    records.Cancel();
    QCOMPARE(nameOf(records), QString("Cid"));
    records.AddNew();
    records.Fields(2).setValue(QString(" x"));
    records.MoveFirst();
    QCOMPARE(records.RecordCount(), 4L);
    QCOMPARE(stored(env).last(), QString("<null>| x"));

    // A deleted row stays current without values until the position moves.
    records.MoveNext();
    records.Delete();
    QCOMPARE(errorOf([&] { nameOf(records); }), ErrorNumber::NoCurrentRecord);
    records.MoveNext();
    QCOMPARE(nameOf(records), QString("Cid"));
    records.MovePrevious();
    QCOMPARE(nameOf(records), QString("Ann"));
    QCOMPARE(stored(env), QStringList({"Ann|1", "Cid|007", "<null>| x"}));
}

void StoreTest::rowsAreReadAcrossChunksBothWays() {
    TestEnvironment env;
    env.addField("A", "Textfield");
    QList<QVariantList> rows;
    for (int i = 1; i <= 300; ++i) // several times what the set reads at a time
        rows << QVariantList{QString::number(i)};
    env.addRecords(rows);
    env.execute("DELETE FROM CustomTable WHERE ID % 7 = 0");
    auto connection = OpenConnection();
    Recordset records;
    openRecords(records, *connection);
    QStringList forward, backward;
    for (; !records.IsEOF(); records.MoveNext())
        forward << nameOf(records);
    QCOMPARE(errorOf([&] { records.MoveNext(); }), ErrorNumber::NoCurrentRecord);
    for (records.MoveLast(); !records.IsBOF(); records.MovePrevious())
        backward.prepend(nameOf(records));
    QStringList expected;
    for (const QVariantList& row : env.query("SELECT A FROM CustomTable ORDER BY ID"))
        expected << row[0].toString();
    QCOMPARE(forward, expected);
    QCOMPARE(backward, expected);
    QCOMPARE(records.RecordCount(), long(expected.size()));
}

void StoreTest::openSetFollowsColumnsChangedElsewhere() {
    TestEnvironment env;
    env.addField("A", "Textfield");
    env.addField("B", "Textfield");
    QList<QVariantList> rows;
    for (int i = 1; i <= 200; ++i)
        rows << QVariantList{QString("a%1").arg(i), QString("b%1").arg(i)};
    env.addRecords(rows);
    auto window = OpenConnection();
    Recordset records;
    openRecords(records, *window);

    // The field list works on a connection of its own while the set is open.
    auto fieldList = OpenConnection();
    fieldList->Execute(Sql::addFieldColumn("C"));
    fieldList->Execute("update CustomTable set C = 'c' || ID");
    Recordset fresh; // a set opened afresh on the window's connection sees it at once
    openRecords(fresh, *window);
    QCOMPARE(fresh.Fields(3).Name(), QString("C"));
    records.MoveLast();
    QCOMPARE(records.Fields(1).Value().toString(), QString("a200"));
    QCOMPARE(records.Fields(3).Value().toString(), QString("c200"));
    records.MoveFirst();
    QCOMPARE(nameOf(records), QString("a1"));
    fieldList->Execute(Sql::dropFieldColumn("A"));
    records.Fields("B").setValue(QString("changed"));
    records.Update();
    QCOMPARE(env.query("SELECT * FROM CustomTable WHERE ID = 1"),
             QList<QVariantList>({{"1", "changed", "c1"}}));
    records.MoveNext();
    QCOMPARE(records.fieldCount(), 3);
    QCOMPARE(records.Fields("C").Value().toString(), QString("c2"));
}

QTEST_MAIN(StoreTest)
#include "tst_store.moc"
