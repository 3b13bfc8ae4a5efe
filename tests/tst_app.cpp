// The program-wide services: the error trap, numbers read from text, long work with Cancel.

#include "app/errortrap.h"
#include "app/longwork.h"
#include "app/numbers.h"
#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "support/testsupport.h"

#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <stdexcept>

class AppTest : public QObject {
    Q_OBJECT
  private slots:
    void errorTrapReportsEachFailureWithItsLineAndGoesOn();
    void numbersReadFromText_data();
    void numbersReadFromText();
    void longWorkShowsProgressOnlyWhenLongAndCanBeCancelled();
};

void AppTest::errorTrapReportsEachFailureWithItsLineAndGoesOn() {
    ScriptedMessages messages;
    ErrorTrap trap(messages, "Form1", "X");
    const unsigned failingLine = __LINE__ + 1;
    QVERIFY(!trap([] { throw std::runtime_error("disk full"); }));
    bool wentOn = false;
    QVERIFY(trap([&] { wentOn = true; }) && wentOn);
    VERIFY_SAID_ONCE(messages, "disk full", "Form1.X at line " + QString::number(failingLine));

    // Silence holds only for the number the trap was told.
    trap.resumeSilentlyOn(ErrorNumber::TableNotFound);
    trap([] { throw RuntimeError(ErrorNumber::TableNotFound, "no table"); });
    QVERIFY(messages.shown.size() == 1 && trap.failed());
    trap([] { throw RuntimeError(ErrorNumber::Database, "locked"); });
    QVERIFY(messages.shown.size() == 2 && messages.shown[1].text.contains("locked"));
}

void AppTest::numbersReadFromText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("leading");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("blanks around") << " 3.5 " << 3.5 << true;
    QTest::newRow("letters after") << " 12abc" << 12.0 << false;
    QTest::newRow("second point") << "2.5.5" << 2.5 << false;
    QTest::newRow("no leading digit") << ".5" << 0.5 << true;
    QTest::newRow("exponent") << "1e3px" << 1000.0 << false;
    QTest::newRow("exponent without digits") << "8e" << 8.0 << false;
    QTest::newRow("empty") << "" << 0.0 << false;
    QTest::newRow("sign alone") << "-" << 0.0 << false;
    QTest::newRow("negative zero") << "-0.0" << 0.0 << true;
    QTest::newRow("too large") << "1e400" << 1e300 << true;
    QTest::newRow("too large negative") << "-1e400 left" << -1e300 << false;
    QTest::newRow("too small") << "1e-400" << 0.0 << true;
}

// Never infinite, never a negative zero that would be written out as "-0".
void AppTest::numbersReadFromText() {
    QFETCH(QString, text);
    QFETCH(double, leading);
    QFETCH(bool, numeric);
    const double value = leadingNumber(text);
    QVERIFY(std::isfinite(value) && !(value == 0.0 && std::signbit(value)));
    // Out of range, only the side is given: the largest value the code uses is its own choice.
    QVERIFY(std::abs(leading) >= 1e300 ? value * leading > 0 && std::abs(value) >= 1e300
                                       : value == leading);
    QCOMPARE(isNumeric(text), numeric);
}

void AppTest::longWorkShowsProgressOnlyWhenLongAndCanBeCancelled() {
    QWidget window;
    int calls = 0;
    QVERIFY(runLongWork(
        &window, "Quick", [&] { ++calls; }, [] { QFAIL("nothing to cancel"); }));
    QVERIFY(calls == 1 && !window.findChild<QProgressDialog*>());
    const auto fail = [] { throw RuntimeError(ErrorNumber::Database, "disk I/O error"); };
    QVERIFY_THROWS_EXCEPTION(RuntimeError, runLongWork(&window, "Failing", fail, [] {}));

    TestEnvironment env;
    env.createDataFile();
    auto connection = env.store().open();
    window.show();
    QTimer presser; // the user presses Cancel once the dialog is up
    connect(&presser, &QTimer::timeout, [&] {
        if (auto* progress = window.findChild<QProgressDialog*>();
            progress && progress->isVisible())
            progress->cancel();
    });
    presser.start(50);
    const QString forEver = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
                            "SELECT count(*) FROM n";
    const auto countForEver = [&] { connection->Execute(forEver); };
    QVERIFY(!runLongWork(&window, "Searching...", countForEver, [&] { connection->interrupt(); }));
    QCOMPARE(connection->Execute("CREATE TABLE t (x)"), 0); // usable again
}

QTEST_MAIN(AppTest)
#include "tst_app.moc"
