// The cursor the record window browses and edits through, on the real data file and on a real
// server's database alike.

#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/recordcursor.h"
#include "store/schema.h"
#include "support/testsupport.h"

#include <QTest>

class StoreTest : public QObject {
    Q_OBJECT
  private slots:
    void editsAreWrittenOnLeavingTheRowAndCancelledExactly_data() { storeRows(); }
    void editsAreWrittenOnLeavingTheRowAndCancelledExactly();
    void valuesGoByNameWhateverColumnsChangeElsewhere_data();
    void valuesGoByNameWhateverColumnsChangeElsewhere();
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

QTEST_MAIN(StoreTest)
#include "tst_store.moc"
