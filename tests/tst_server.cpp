// What only a shared store has: other people changing the fields while a window is open, a
// role that owns no more than its two tables, a connection that can be lost, values the server
// cannot hold, and an address that must not be kept with its password.

#include "support/testserver.h"
#include "support/testsupport.h"

#include "app/settings.h"
#include "fields/fieldschema.h"
#include "import/commandline.h"
#include "record/form1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/searchindex.h"

#include <QtTest>
#include <QtWidgets>

class ServerTest : public QObject {
    Q_OBJECT

  private slots:
    void fieldsChangedElsewhereAreTakenUpOnRebuild_data() { storeRows(); }
    void fieldsChangedElsewhereAreTakenUpOnRebuild();
    void lostConnectionIsReportedAndTheNextCommandsConnectAgain();
    void addressIsKeptOnlyWithoutPassword();
};

void ServerTest::fieldsChangedElsewhereAreTakenUpOnRebuild() {
    QFETCH(Store, store);
    TestEnvironment env(store);
    env.addFields(2);
    env.addRecords({{"a1", "b1"}});
    if (env.onServer()) // the program needs no more rights than owning its two tables
        OtherProgram(TestServer::shared().superuserConnection(env.server()))
            .rows("DO $$BEGIN EXECUTE format('ALTER DATABASE %I OWNER TO postgres', "
                  "current_database()); END$$");
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    Connection other; // another person's field list
    other.Open(env.connectionString());
    addFieldToTables(other, {"Added", "Textfield", "8", ""});
    deleteFieldFromTables(other, "F1");
    other.Execute("UPDATE \"CustomTable\" SET \"Added\" = 'new'");
    window->Form_Activate(); // the window comes to the front again
    settle(*window);
    QCOMPARE(window->shownCaptions(), QStringList({"F2", "Added"}));
    QCOMPARE(textBox(*window, 1)->text(), QString("new"));
    press(*window, "PushButton1");
    textBox(*window, 0)->setText("b2");
    press(*window, "PushButton6");
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(env.query("SELECT \"F2\", \"Added\" FROM \"CustomTable\""),
             QList<QVariantList>({{"b2", "new"}}));
}

// A restart of the server cuts every connection: Save says so and keeps the typed text, and the
// next Save, like the next search (whose last connection waited for it), connects again.
void ServerTest::lostConnectionIsReportedAndTheNextCommandsConnectAgain() {
    TestEnvironment env(Store::Server);
    env.addFields(1);
    env.addRecords({{"stored"}, {"other"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    QVERIFY2(window->windowTitle().startsWith("Ledgerloom - database ledgerloom_test_"),
             qPrintable(window->windowTitle()));
    const auto search = [&](const QString& text) {
        return RecordSearch(env.connectionString(), {"F1"}, text).run();
    };
    QCOMPARE(search("stored"), std::vector<qint64>{1});
    press(*window, "PushButton1");
    textBox(*window, 0)->setText("typed");
    QVERIFY(TestServer::shared().restart());
    press(*window, "PushButton6");
    VERIFY_SAID_ONCE(messages, "connection to the server was lost", "what you typed is kept");
    QVERIFY(window->mEditing());
    QCOMPARE(textBox(*window, 0)->text(), QString("typed"));
    messages.clear();
    press(*window, "PushButton6");
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(search("typed"), std::vector<qint64>{1});

    // The server's text ends at a NUL: cutting the value there would store another one.
    press(*window, "PushButton1");
    textBox(*window, 0)->setText(QString("be") + QChar(0) + "fore");
    press(*window, "PushButton6");
    VERIFY_SAID_ONCE(messages, "NUL character");
    QCOMPARE(env.query("SELECT \"F1\" FROM \"CustomTable\" WHERE \"ID\" = 1"),
             QList<QVariantList>({{"typed"}}));
}

void ServerTest::addressIsKeptOnlyWithoutPassword() {
    TestEnvironment env(Store::Server);
    QCOMPARE(runCommandLine({"", "--set-server", env.server() + " password=secret"}), 1);
    QCOMPARE(GetSetting("Server", "none"), QString("none"));
    QCOMPARE(runCommandLine({"", "--set-server", env.server()}), 0);
    QCOMPARE(GetSetting("Server", "none"), env.server());
    QCOMPARE(runCommandLine({"", "--clear-server"}), 0);
    QCOMPARE(GetSetting("Server", "none"), QString());
}

QTEST_MAIN(ServerTest)
#include "tst_server.moc"
