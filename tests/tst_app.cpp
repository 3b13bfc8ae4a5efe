#include "app/errortrap.h"
#include "app/numbers.h"
#include "app/paths.h"
#include "app/runtimeerror.h"
#include "app/settings.h"
#include "app/shell.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <stdexcept>

class AppTest : public QObject {
    Q_OBJECT
  private slots:
    void errorTrapReportsEachFailureWithItsLineAndGoesOn();
    void sizeSettingsDefaultOnlyWhenMissing();
    void numbersReadFromText_data();
    void numbersReadFromText();
    void titleFilesAndDataFolder();
};

void AppTest::errorTrapReportsEachFailureWithItsLineAndGoesOn() {
    ScriptedMessages messages;
    ErrorTrap trap(messages, "Form1", "X");
    QStringList steps;
    QVERIFY(trap([&] { steps << "before"; }));
    const unsigned failingLine = __LINE__ + 1;
    QVERIFY(!trap(
        [] { throw RuntimeError(ErrorNumber::NoCurrentRecord, "Either BOF or EOF is True."); }));
    QVERIFY(trap([&] { steps << "after"; }));
    QCOMPARE(steps, QStringList({"before", "after"}));
    QCOMPARE(trap.failures(), 1);
    QCOMPARE(messages.shown.size(), 1);
    const Message& box = messages.shown.first();
    QCOMPARE(box.title, QString("Application Error"));
    QCOMPARE(box.icon, Message::Icon::Exclamation);
    QCOMPARE(box.buttons, Message::Buttons::Ok);
    const QString head = "Either BOF or EOF is True.\r\nin Orvelin2021/08/31.Form1.X at line " +
                         QString::number(failingLine) +
                         "\r\rPlease email screenshot of this message to ";
    QVERIFY2(box.text.startsWith(head), qPrintable(box.text));
    const QString address = box.text.mid(head.size());
    QVERIFY2(address.contains('@') && !address.contains(' '), qPrintable(address));

    // Any other failure is reported the same way with its own text and line.
    messages.clear();
    const unsigned otherLine = __LINE__ + 1;
    trap([] { throw std::runtime_error("disk full"); });
    QCOMPARE(messages.texts().value(0).section("\r\r", 0, 0),
             "disk full\r\nin Orvelin2021/08/31.Form1.X at line " + QString::number(otherLine));

    // Silence holds only for the number the trap was told.
    messages.clear();
    ErrorTrap quiet(messages, "Form1", "generateControls");
    quiet.resumeSilentlyOn(ErrorNumber::TableNotFound);
    quiet([] { throw RuntimeError(ErrorNumber::TableNotFound, "no table"); });
    QVERIFY(messages.shown.isEmpty());
    QVERIFY(quiet.failed());
    quiet([] { throw RuntimeError(ErrorNumber::Database, "locked"); });
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.shown.first().text.startsWith(
        "locked\r\nin Orvelin2021/08/31.Form1.generateControls at line "));
}

void AppTest::sizeSettingsDefaultOnlyWhenMissing() {
    TestEnvironment env;
    QCOMPARE(SizeSettings::width(), QString("0"));
    QCOMPARE(SizeSettings::height(), QString("0"));
    QCOMPARE(GetSetting(SizeSettings::WidthKey, "default"), QString("default"));
    SaveSetting(SizeSettings::WidthKey, "120");
    SaveSetting(SizeSettings::HeightKey, "");
    QCOMPARE(SizeSettings::width(), QString("120"));
    QCOMPARE(SizeSettings::height(), QString("")); // stored empty is not missing
    QFile store(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Tarnwell/Ledgerloom.conf");
    QVERIFY2(store.open(QIODevice::ReadOnly), qPrintable(store.fileName()));
    const QByteArray stored = store.readAll();
    QVERIFY(stored.contains("[Ledgerloom]") && stored.contains("Text3=120"));
}

void AppTest::numbersReadFromText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("leading");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("whole") << "2021" << 2021.0 << true;
    QTest::newRow("blanks around") << " 3.5 " << 3.5 << true;
    QTest::newRow("letters after") << " 12abc" << 12.0 << false;
    QTest::newRow("tab before") << "\t7" << 7.0 << true;
    QTest::newRow("second point") << "2.5.5" << 2.5 << false;
    QTest::newRow("no leading digit") << ".5" << 0.5 << true;
    QTest::newRow("signs") << "-4.25x" << -4.25 << false;
    QTest::newRow("exponent") << "1e3px" << 1000.0 << false;
    QTest::newRow("exponent alone") << "1e3" << 1000.0 << true;
    QTest::newRow("exponent without digits") << "8e" << 8.0 << false;
    QTest::newRow("unit after blank") << "8 px" << 8.0 << false;
    QTest::newRow("letters") << "abc" << 0.0 << false;
    QTest::newRow("empty") << "" << 0.0 << false;
    QTest::newRow("blanks") << "   " << 0.0 << false;
    QTest::newRow("point alone") << "." << 0.0 << false;
    QTest::newRow("sign alone") << "-" << 0.0 << false;
    QTest::newRow("negative zero") << "-0" << 0.0 << true;
    QTest::newRow("negative zero decimal") << "-0.0" << 0.0 << true;
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
    QVERIFY(std::isfinite(value));
    if (std::abs(leading) >= 1e300)
        QVERIFY(value * leading > 0 && std::abs(value) >= 1e300);
    else
        QCOMPARE(value, leading);
    QCOMPARE(QString::number(value) == "-0", false);
    QCOMPARE(isNumeric(text), numeric);
}

void AppTest::titleFilesAndDataFolder() {
    TestEnvironment env;
    SetApplicationTitle();
    QCOMPARE(boxTitle(), QString("Ledgerloom"));

    QTemporaryDir folder;
    const QString path = folder.filePath("present.txt");
    QVERIFY(!FileExists(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly)); // empty, but there
    file.close();
    QVERIFY(FileExists(path));
    QVERIFY(!FileExists(folder.filePath("missing/present.txt")));
    QVERIFY(!FileExists(QString()));

    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    QCOMPARE(SpecialFolderPath(CommonAppDataFolder), QDir::toNativeSeparators(dataHome));
    QCOMPARE(SpecialFolderPath(CommonAppDataFolder + 1), QString());
    QCOMPARE(standardDataFile(),
             QDir::toNativeSeparators(dataHome + "/Tarnwell/Ledgerloom/dbData.mdb"));
}

QTEST_MAIN(AppTest)
#include "tst_app.moc"
