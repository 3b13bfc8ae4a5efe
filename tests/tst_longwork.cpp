#include "app/longwork.h"
#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>

class LongWorkTest : public QObject {
    Q_OBJECT
  private slots:
    void cancelStopsARunningStatement();
    void shortWorkShowsNothingAndFailuresReachTheCaller();
};

void LongWorkTest::cancelStopsARunningStatement() {
    TestEnvironment env;
    env.createDataFile();
    Connection connection;
    connection.Open(ConnectionString(env.dataFile()));
    QWidget window;
    window.show();
    bool dialogShown = false;
    // The user presses Cancel once the dialog has come up.
    QTimer presser;
    connect(&presser, &QTimer::timeout, [&] {
        auto* progress = window.findChild<QProgressDialog*>("LongWorkProgress");
        if (progress && progress->isVisible()) {
            dialogShown = true;
            progress->cancel();
            presser.stop();
        }
    });
    presser.start(50);
    const bool finished = runLongWork(
        &window, "Searching...",
        [&] {
            // Counts for ever unless interrupted.
            connection.Execute("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
                               "SELECT count(*) FROM n");
        },
        [&] { connection.interrupt(); });
    QVERIFY(dialogShown);
    QVERIFY(!finished);
    // The connection is usable again afterwards.
    QCOMPARE(connection.Execute("CREATE TABLE t (x)"), 0);
}

void LongWorkTest::shortWorkShowsNothingAndFailuresReachTheCaller() {
    QWidget window;
    int calls = 0;
    QVERIFY(runLongWork(
        &window, "Quick", [&] { ++calls; }, [] { QFAIL("nothing to cancel"); }));
    QCOMPARE(calls, 1);
    QVERIFY(!window.findChild<QProgressDialog*>("LongWorkProgress"));
    try {
        runLongWork(
            &window, "Failing", [] { throw RuntimeError(ErrorNumber::Database, "disk I/O error"); },
            [] {});
        QFAIL("the failure was swallowed");
    } catch (const RuntimeError& e) {
        QCOMPARE(e.description(), QString("disk I/O error"));
    }
}

QTEST_MAIN(LongWorkTest)
#include "tst_longwork.moc"
