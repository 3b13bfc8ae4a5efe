// Another program on the same data file while this one saves: a lock is waited for a moment,
// then reported with the input kept; a record the other changed or deleted is never
// overwritten blindly.

#include "support/testsupport.h"

#include "record/form1.h"

#include <QtTest>
#include <QtWidgets>
#include <sqlite3.h>
#include <thread>

class TestInstances : public QObject {
    Q_OBJECT

  private slots:
    void saveMeetsTheOtherProgram_data();
    void saveMeetsTheOtherProgram();
};

void TestInstances::saveMeetsTheOtherProgram_data() {
    QTest::addColumn<QString>("theirs"); // what the other program does while this one edits
    QTest::addColumn<QString>("said");   // what Save says; empty when it stores
    QTest::addColumn<QVariantList>("stored");
    const QString lock = "BEGIN EXCLUSIVE";
    QTest::newRow("holds a lock") << lock << "in use by another program" << QVariantList{"a", "b"};
    QTest::newRow("lets the lock go soon") << lock << "" << QVariantList{"mine", "b"};
    QTest::newRow("changed the same field")
        << QString("UPDATE CustomTable SET F1 = 'theirs'") << "changed by another program"
        << QVariantList{"theirs", "b"};
    // Only what the user changed is written: both changes are kept.
    QTest::newRow("changed another field")
        << QString("UPDATE CustomTable SET F2 = 'theirs'") << "" << QVariantList{"mine", "theirs"};
    QTest::newRow("deleted the record")
        << QString("DELETE FROM CustomTable") << "deleted by another program" << QVariantList();
}

void TestInstances::saveMeetsTheOtherProgram() {
    QFETCH(QString, theirs);
    QFETCH(QString, said);
    QFETCH(QVariantList, stored);
    TestEnvironment env;
    env.addFields(2);
    env.addRecords({{"a", "b"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    press(*window, "PushButton1");
    textBox(*window, 0)->setText("mine");

    sqlite3* other = nullptr;
    sqlite3_open(env.dataFile().toUtf8().constData(), &other);
    QCOMPARE(sqlite3_exec(other, theirs.toUtf8().constData(), nullptr, nullptr, nullptr),
             SQLITE_OK);
    std::thread releaser;
    if (said.isEmpty()) // the other lets its lock go while Save waits
        releaser = std::thread([other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        });
    press(*window, "PushButton6");
    if (releaser.joinable())
        releaser.join();
    else if (theirs == "BEGIN EXCLUSIVE")
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    QCOMPARE(env.query("SELECT F1, F2 FROM CustomTable").value(0), stored);
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
        QCOMPARE(env.query("SELECT F1, F2 FROM CustomTable")[0], (QVariantList{"mine", "b"}));
    }
}

QTEST_MAIN(TestInstances)
#include "tst_instances.moc"
