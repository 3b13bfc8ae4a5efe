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
    void errorTrapShowsTheStandardMessageAndGoesOn();
    void errorTrapKeepsSilentOnlyForTheNumberItWasTold();
    void sizeSettingsLiveInTheUsersOwnStore();
    void leadingNumberReadsTheNumberATextBeginsWith_data();
    void leadingNumberReadsTheNumberATextBeginsWith();
    void leadingNumberIsNeverInfiniteNorNegativeZero();
    void isNumericJudgesTheWholeText_data();
    void isNumericJudgesTheWholeText();
    void applicationTitleIsTheProductName();
    void fileExistsOnlyForFilesThatAreThere();
    void dataFileLiesInTheUsersDataFolder();
};

namespace {
const QString SupportSentence = QStringLiteral("Please email screenshot of this message to ");
}

void AppTest::errorTrapShowsTheStandardMessageAndGoesOn() {
    TestEnvironment env;
    ScriptedMessages messages;
    ErrorTrap trap(messages, "Form1", "X");
    QStringList steps;
    const QString description = "Either BOF or EOF is True.";

    QVERIFY(trap([&] { steps << "before"; }));
    const RuntimeError error(ErrorNumber::NoCurrentRecord, description);
    const unsigned failingLine = __LINE__ + 1;
    const bool succeeded = trap([&] { throw error; });
    QVERIFY(trap([&] { steps << "after"; }));

    QVERIFY(!succeeded);
    QCOMPARE(steps, QStringList({"before", "after"}));
    QCOMPARE(trap.failures(), 1);
    QCOMPARE(messages.shown.size(), 1);
    const Message& box = messages.shown.first();
    QCOMPARE(box.title, QString("Application Error"));
    QCOMPARE(box.icon, Message::Icon::Exclamation);
    QCOMPARE(box.buttons, Message::Buttons::Ok);
    const QString head = description + "\r\n" + "in Orvelin2021/08/31.Form1.X " + "at line " +
                         QString::number(failingLine) + "\r\r";
    QVERIFY2(box.text.startsWith(head), qPrintable(box.text));
    const QString tail = box.text.mid(head.size());
    QVERIFY2(tail.startsWith(SupportSentence), qPrintable(tail));
    const QString address = tail.mid(SupportSentence.size());
    QVERIFY2(address.contains('@') && !address.contains(' '), qPrintable(address));

    // Any other failure of a statement is reported the same way with its own text.
    messages.clear();
    const unsigned otherLine = __LINE__ + 1;
    trap([] { throw std::runtime_error("disk full"); });
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.shown.first().text.startsWith(
        "disk full\r\nin Orvelin2021/08/31.Form1.X at line " + QString::number(otherLine) +
        "\r\r"));
    QVERIFY(otherLine != failingLine);
    QCOMPARE(trap.failures(), 2);
}

void AppTest::errorTrapKeepsSilentOnlyForTheNumberItWasTold() {
    ScriptedMessages messages;
    ErrorTrap trap(messages, "Form1", "generateControls");
    trap.resumeSilentlyOn(ErrorNumber::TableNotFound);
    trap([] { throw RuntimeError(ErrorNumber::TableNotFound, "no table"); });
    QVERIFY(messages.shown.isEmpty());
    QVERIFY(trap.failed());
    trap([] { throw RuntimeError(ErrorNumber::Database, "locked"); });
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.shown.first().text.startsWith(
        "locked\r\nin Orvelin2021/08/31.Form1.generateControls at line "));
}

void AppTest::sizeSettingsLiveInTheUsersOwnStore() {
    {
        TestEnvironment env;
        QCOMPARE(SizeSettings::width(), QString("0"));
        QCOMPARE(SizeSettings::height(), QString("0"));
        QCOMPARE(GetSetting(SizeSettings::WidthKey, "default"), QString("default"));

        SaveSetting(SizeSettings::WidthKey, "120");
        SaveSetting(SizeSettings::HeightKey, "");
        QCOMPARE(SizeSettings::width(), QString("120"));
        QCOMPARE(leadingNumber(SizeSettings::width()), 120.0);
        // The default applies only to a missing setting, not to a stored empty one.
        QCOMPARE(SizeSettings::height(), QString(""));

        QFile store(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Tarnwell/Ledgerloom.conf");
        QVERIFY2(store.open(QIODevice::ReadOnly), qPrintable(store.fileName()));
        const QByteArray stored = store.readAll();
        QVERIFY(stored.contains("[Ledgerloom]"));
        QVERIFY(stored.contains("Text3=120"));
    }
    // The next sandbox starts with settings of its own: nothing carries over.
    TestEnvironment next;
    QCOMPARE(SizeSettings::width(), QString("0"));
    QCOMPARE(SizeSettings::height(), QString("0"));
    SaveSetting(SizeSettings::HeightKey, "33");
    QVERIFY(QFile::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + "/Tarnwell/Ledgerloom.conf"));
    QCOMPARE(SizeSettings::height(), QString("33"));
}

void AppTest::leadingNumberReadsTheNumberATextBeginsWith_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::newRow("blank before, letters after") << " 12abc" << 12.0;
    QTest::newRow("tab before") << "\t7" << 7.0;
    QTest::newRow("decimal") << "2.5" << 2.5;
    QTest::newRow("second point ends it") << "2.5.5" << 2.5;
    QTest::newRow("no leading digit") << ".5" << 0.5;
    QTest::newRow("sign") << "+3" << 3.0;
    QTest::newRow("negative") << "-4.25x" << -4.25;
    QTest::newRow("exponent") << "1e3px" << 1000.0;
    QTest::newRow("exponent without digits") << "8e" << 8.0;
    QTest::newRow("unit after a blank") << "8 px" << 8.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("sign alone") << "-" << 0.0;
}

void AppTest::leadingNumberReadsTheNumberATextBeginsWith() {
    QFETCH(QString, text);
    QFETCH(double, number);
    QCOMPARE(leadingNumber(text), number);
}

void AppTest::leadingNumberIsNeverInfiniteNorNegativeZero() {
    const double huge = leadingNumber("1e400");
    QVERIFY(std::isfinite(huge));
    QVERIFY(huge > 1e300);
    const double hugeNegative = leadingNumber("-1e400 left");
    QVERIFY(std::isfinite(hugeNegative));
    QVERIFY(hugeNegative < -1e300);
    QVERIFY(std::isfinite(leadingNumber("1e-400")));

    // "-0" is zero, and shows as 0 wherever the number is written out again.
    const double zero = leadingNumber("-0");
    QCOMPARE(zero, 0.0);
    QVERIFY(!std::signbit(zero));
    QCOMPARE(QString::number(leadingNumber("-0.0")), QString("0"));
}

void AppTest::isNumericJudgesTheWholeText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("whole number") << "2021" << true;
    QTest::newRow("decimal with blanks") << " 3.5 " << true;
    QTest::newRow("negative zero") << "-0" << true;
    QTest::newRow("exponent") << "1e3" << true;
    QTest::newRow("two points") << "2.5.5" << false;
    QTest::newRow("number then letters") << "12abc" << false;
    QTest::newRow("letters") << "abc" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks") << "   " << false;
}

void AppTest::isNumericJudgesTheWholeText() {
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QCOMPARE(isNumeric(text), numeric);
}

void AppTest::applicationTitleIsTheProductName() {
    QCOMPARE(applicationTitle(), QString("Ledgerloom"));
    SetApplicationTitle();
    QCOMPARE(QGuiApplication::applicationDisplayName(), QString("Ledgerloom"));
}

void AppTest::fileExistsOnlyForFilesThatAreThere() {
    QTemporaryDir folder;
    const QString path = folder.filePath("present.txt");
    QVERIFY(!FileExists(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(FileExists(path)); // an empty file exists too
    QVERIFY(!FileExists(folder.filePath("missing/present.txt")));
    QVERIFY(!FileExists(QString()));
    QVERIFY(QFile::remove(path));
    QVERIFY(!FileExists(path));
}

void AppTest::dataFileLiesInTheUsersDataFolder() {
    TestEnvironment env;
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    QCOMPARE(SpecialFolderPath(CommonAppDataFolder), QDir::toNativeSeparators(dataHome));
    QCOMPARE(SpecialFolderPath(CommonAppDataFolder + 1), QString());
    QCOMPARE(standardDataFile(),
             QDir::toNativeSeparators(dataHome + "/Tarnwell/Ledgerloom/dbData.mdb"));
    QCOMPARE(env.paths().dataFile(), standardDataFile());
}

QTEST_MAIN(AppTest)
#include "tst_app.moc"
