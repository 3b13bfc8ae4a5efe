// Another program on the same data file or server database while this one saves: a lock is
// waited for a moment, then reported with the input kept; a record the other changed or
// deleted is never overwritten blindly.

#include "support/testsupport.h"

#include "record/form1.h"

#include <QtTest>
#include <QtWidgets>
#include <thread>

class TestInstances : public QObject {
    Q_OBJECT

  private slots:
    void saveMeetsTheOtherProgram_data();
    void saveMeetsTheOtherProgram();
};

void TestInstances::saveMeetsTheOtherProgram_data() {
    QTest::addColumn<StoreKind>("store");
    QTest::addColumn<QString>("theirs"); // what the other program does while this one edits
    QTest::addColumn<QString>("said");   // what Save says; empty when it stores
    QTest::addColumn<QVariantList>("stored");
    for (const auto& [name, store] : Stores) {
        const auto row = [name = name, store = store](const char* what) -> QTestData& {
            return QTest::addRow("%s: %s", name, what) << store;
        };
        const QString lock = store == StoreKind::Server
                                 ? "BEGIN; LOCK TABLE \"CustomTable\" IN EXCLUSIVE MODE"
                                 : "BEGIN EXCLUSIVE";
        row("holds a lock") << lock << "in use by another program" << QVariantList{"a", "b"};
        row("lets the lock go soon") << lock << "" << QVariantList{"mine", "b"};
        row("changed the same field")
            << QString("UPDATE \"CustomTable\" SET \"F1\" = 'theirs'")
            << "changed by another program" << QVariantList{"theirs", "b"};
        // Only what the user changed is written: both changes are kept.
        row("changed another field") << QString("UPDATE \"CustomTable\" SET \"F2\" = 'theirs'")
                                     << "" << QVariantList{"mine", "theirs"};
        row("deleted the record") << QString("DELETE FROM \"CustomTable\"")
                                  << "deleted by another program" << QVariantList();
    }
}

void TestInstances::saveMeetsTheOtherProgram() {
    QFETCH(StoreKind, store);
    QFETCH(QString, theirs);
    QFETCH(QString, said);
    QFETCH(QVariantList, stored);
    TestEnvironment env(store);
    env.addFields(2);
    env.addRecords({{"a", "b"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    press(*window, "PushButton1");
    textBox(*window, 0)->setText("mine");

    auto other = std::make_unique<OtherProgram>(env);
    other->rows(theirs);
    std::thread releaser;
    if (said.isEmpty() && theirs.startsWith("BEGIN")) // the other lets its lock go meanwhile
        releaser = std::thread([&other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
            other->rows("COMMIT");
        });
    press(*window, "PushButton6");
    if (releaser.joinable())
        releaser.join();
    other.reset(); // a lock still held goes with the other program

    const QString values = "SELECT \"F1\", \"F2\" FROM \"CustomTable\"";
    QCOMPARE(env.query(values).value(0), stored);
    QCOMPARE(window->mEditing(), !said.isEmpty()); // a refused Save keeps the input for another
    QCOMPARE(textBox(*window, 0)->text(), QString("mine"));
    if (said.isEmpty())
        QCOMPARE(messages.texts(), QStringList());
    else
        VERIFY_SAID_ONCE(messages, said);
    // Once the other is done, a lock no longer stands in the way of the same Save.
    if (said.startsWith("in use")) {
        messages.clear();
        press(*window, "PushButton6");
        QCOMPARE(messages.texts(), QStringList());
        QCOMPARE(env.query(values)[0], (QVariantList{"mine", "b"}));
    }
}

QTEST_MAIN(TestInstances)
#include "tst_instances.moc"
