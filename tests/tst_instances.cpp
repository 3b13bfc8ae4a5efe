// Two programs on one data file: a write that meets the other's lock waits a moment, then is
// reported with the user's input kept; a record the other changed or deleted is never
// overwritten blindly.

#include "support/testsupport.h"

#include "record/form1.h"

#include <QtTest>
#include <QtWidgets>
#include <sqlite3.h>
#include <thread>

namespace {
void press(QWidget& window, const char* name) {
    auto* button = window.findChild<QPushButton*>(QLatin1String(name));
    QVERIFY(button);
    button->click();
}

QLineEdit* box(Form1& window, int entry) {
    return qobject_cast<QLineEdit*>(window.mInputControls().value(entry));
}

// The one message shown says `said`.
void checkMessage(const ScriptedMessages& messages, const char* said) {
    const QString text = messages.texts().join('\n');
    QVERIFY2(messages.shown.size() == 1 && text.contains(QLatin1String(said)), qPrintable(text));
}

// Another program holding the write lock of the file.
class OtherWriter {
  public:
    explicit OtherWriter(const QString& file) {
        sqlite3_open_v2(file.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~OtherWriter() {
        if (m_holder.joinable())
            m_holder.join();
        sqlite3_close(m_db);
    }
    bool lock() { return exec("BEGIN EXCLUSIVE"); }
    bool release() { return exec("COMMIT"); }
    // Lets the lock go after a while, from a thread of its own, while this one waits.
    void releaseAfter(int ms) {
        m_holder = std::thread([this, ms] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            release();
        });
    }

  private:
    bool exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == 0; }
    sqlite3* m_db = nullptr;
    std::thread m_holder;
};
} // namespace

class TestInstances : public QObject {
    Q_OBJECT

  private slots:
    void saveWaitsForALockAndKeepsInputWhenItLasts();
    void recordChangedOrDeletedByTheOtherIsNotOverwritten();
    void twoProgramsWritingAtOnceLoseNothing();
};

void TestInstances::saveWaitsForALockAndKeepsInputWhenItLasts() {
    TestEnvironment env;
    env.addFields(2);
    env.addRecords({{QStringLiteral("a"), QStringLiteral("b")}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    const QString stored = QStringLiteral("SELECT F1, F2 FROM CustomTable");
    OtherWriter other(env.dataFile());

    // A long lock: Save waits for it, then gives up and keeps what was typed.
    press(*window, "PushButton1");
    box(*window, 0)->setText(QStringLiteral("mine"));
    box(*window, 1)->setText(QStringLiteral("also mine"));
    QVERIFY(other.lock());
    QElapsedTimer waited;
    waited.start();
    press(*window, "PushButton6");
    QVERIFY(waited.elapsed() >= 2500);
    checkMessage(messages, "in use by another program");
    QVERIFY(window->mEditing());
    QCOMPARE(box(*window, 0)->text(), QStringLiteral("mine"));
    QCOMPARE(box(*window, 1)->text(), QStringLiteral("also mine"));
    QVERIFY(other.release());
    QCOMPARE(env.query(stored)[0], (QVariantList{QStringLiteral("a"), QStringLiteral("b")}));
    // Once the other program is done, the same Save stores what was typed.
    messages.clear();
    press(*window, "PushButton6");
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
    QCOMPARE(env.query(stored)[0], (QVariantList{"mine", "also mine"}));

    // A short lock: Save waits it out and stores.
    press(*window, "PushButton1");
    box(*window, 0)->setText(QStringLiteral("typed while locked"));
    QVERIFY(other.lock());
    other.releaseAfter(600);
    waited.restart();
    press(*window, "PushButton6");
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
    QVERIFY(waited.elapsed() >= 500);
    QVERIFY(!window->mEditing());
    QCOMPARE(env.query(stored)[0], (QVariantList{"typed while locked", "also mine"}));
}

void TestInstances::recordChangedOrDeletedByTheOtherIsNotOverwritten() {
    TestEnvironment env;
    env.addFields(2);
    env.addRecords({{QStringLiteral("first"), QStringLiteral("x")},
                    {QStringLiteral("doomed"), QStringLiteral("y")}});
    const QString stored = QStringLiteral("SELECT F1, F2 FROM CustomTable ORDER BY ID");
    ScriptedMessages messagesA, messagesB;
    auto a = startRecordWindow(messagesA, env);
    auto b = startRecordWindow(messagesB, env);
    QVERIFY(a && b);

    press(*b, "PushButton1");
    box(*b, 0)->setText(QStringLiteral("from B"));
    press(*a, "PushButton1");
    box(*a, 0)->setText(QStringLiteral("from A"));
    press(*a, "PushButton6");
    QVERIFY(messagesA.shown.isEmpty());
    press(*b, "PushButton6");
    checkMessage(messagesB, "changed by another program");
    QVERIFY(b->mEditing());
    QCOMPARE(box(*b, 0)->text(), QStringLiteral("from B"));
    QCOMPARE(env.query(stored), (QList<QVariantList>{{"from A", "x"}, {"doomed", "y"}}));

    // A field the other program left alone is still B's to change.
    press(*b, "PushButton8");
    QCOMPARE(box(*b, 0)->text(), QStringLiteral("from A"));
    press(*b, "PushButton1");
    box(*b, 1)->setText(QStringLiteral("B's own"));
    press(*b, "PushButton6");
    QCOMPARE(env.query(stored)[0], (QVariantList{"from A", "B's own"}));

    // A record the other deleted is not brought back by B's Save.
    press(*a, "PushButton11");
    press(*b, "PushButton11");
    press(*b, "PushButton1");
    box(*b, 0)->setText(QStringLiteral("edited"));
    messagesA.answer(Answer::Yes);
    press(*a, "PushButton2");
    QCOMPARE(env.query(stored).size(), 1);
    messagesB.clear();
    press(*b, "PushButton6");
    checkMessage(messagesB, "deleted by another program");
    QCOMPARE(box(*b, 0)->text(), QStringLiteral("edited"));
    QCOMPARE(env.query(stored), (QList<QVariantList>{{"from A", "B's own"}}));
}

// A second program keeps adding records while this one saves edits: every Save either stores
// what was typed or says the file is busy and keeps it; nothing is lost or torn.
void TestInstances::twoProgramsWritingAtOnceLoseNothing() {
    TestEnvironment env;
    env.addFields(3);
    env.addRecords({{QStringLiteral("r"), QStringLiteral("r"), QStringLiteral("r")}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);

    QProcess other;
    other.start(QStringLiteral(LEDGERLOOM_CRASHDRIVER), {QStringLiteral("create"), "1"});
    QVERIFY(other.waitForStarted());
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += other.readAllStandardOutput()).contains("done"), 20000);

    QString lastStored;
    for (int i = 0; i < 25; ++i) {
        const QString value = QStringLiteral("edit %1").arg(i);
        press(*window, "PushButton10");
        press(*window, "PushButton1");
        for (int entry = 0; entry < 3; ++entry)
            box(*window, entry)->setText(value);
        messages.clear();
        press(*window, "PushButton6");
        if (window->mEditing()) {
            checkMessage(messages, "in use by another program");
            QCOMPARE(box(*window, 2)->text(), value);
            press(*window, "PushButton8");
        } else {
            QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
            lastStored = value;
        }
    }
    other.kill();
    other.waitForFinished();
    QVERIFY2(other.exitStatus() == QProcess::CrashExit,
             qPrintable(QString::fromLocal8Bit(other.readAllStandardError())));

    QVERIFY(!lastStored.isEmpty());
    QCOMPARE(env.query(QStringLiteral("PRAGMA integrity_check"))[0][0].toString(),
             QStringLiteral("ok"));
    const auto rows = env.query(QStringLiteral("SELECT F1, F2, F3 FROM CustomTable ORDER BY ID"));
    QVERIFY(rows.size() > 1);
    QCOMPARE(rows[0], (QVariantList{lastStored, lastStored, lastStored}));
    for (const QVariantList& row : rows)
        QVERIFY(row[0] == row[1] && row[1] == row[2]);
}

QTEST_MAIN(TestInstances)
#include "tst_instances.moc"
