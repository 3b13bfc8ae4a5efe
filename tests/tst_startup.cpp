#include "app/flags.h"
#include "app/pointer.h"
#include "app/providercheck.h"
#include "app/runtimeerror.h"
#include "app/settings.h"
#include "app/shell.h"
#include "app/twips.h"
#include "record/form1.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QThread>

namespace {
QByteArray fileHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString caption(Form1& w, const char* name) {
    if (auto* button = w.findChild<QPushButton*>(name))
        return button->text();
    if (auto* label = w.findChild<QLabel*>(name))
        return label->text();
    return w.findChild<QGroupBox*>(name)->title();
}
} // namespace

class StartupTest : public QObject {
    Q_OBJECT
  private slots:
    void firstStartCreatesFoldersAndDataFile();
    void customizedTemplateIsPreferredOnlyAtFirstStart();
    void missingTemplatesAreReportedAndNothingIsCreated();
    void unusableDataFileIsReportedOnceAndLeftAlone_data();
    void unusableDataFileIsReportedOnceAndLeftAlone();
    void sizeSettingsAreRestored();
    void missingProviderEndsStartUp();
    void windowShowsDesignedControls();
    void activationRebuildsOnlyForOwnWindows();
    void closingDiscardsNewRecordOnly();
    void pointerFollowsTheMouse();
    void waitForRecordsTableIsBounded();
};

void StartupTest::firstStartCreatesFoldersAndDataFile() {
    TestEnvironment env;
    // A new account has no data folder of its own yet.
    QVERIFY(QDir(env.paths().commonDataFolder).removeRecursively());
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QVERIFY(w);
    QCOMPARE(messages.texts(), QStringList());
    QVERIFY(QDir(env.paths().dataFolder()).exists());
    QCOMPARE(fileHash(env.dataFile()), fileHash(env.paths().blankTemplate()));
    QCOMPARE(env.columnsOf("CustomTable"), QStringList{"ID"});
    QCOMPARE(env.columnsOf("FieldControl"),
             (QStringList{"fieldname", "FieldType", "FieldLength", "FieldValues"}));
    QCOMPARE(w->findChild<QTabWidget*>("SSTab1")->count(), 1);
    QCOMPARE(w->mRSRecords().State(), 1);
}

void StartupTest::customizedTemplateIsPreferredOnlyAtFirstStart() {
    TestEnvironment env;
    // A prepared template with one field and a record.
    env.addField("Prepared", "Textfield");
    env.addRecords({{"from the template"}});
    QVERIFY(QFile::rename(env.dataFile(), env.paths().customizedTemplate()));
    ScriptedMessages messages;
    {
        auto w = startRecordWindow(messages, env);
        QCOMPARE(w->shownCaptions(), QStringList{"Prepared"});
        w->close();
    }
    QCOMPARE(fileHash(env.dataFile()), fileHash(env.paths().customizedTemplate()));
    // A later start never replaces or rewrites the data file, whatever the templates hold now.
    const QByteArray before = fileHash(env.dataFile());
    const QDateTime modified = QFileInfo(env.dataFile()).lastModified();
    QFile::remove(env.paths().customizedTemplate());
    QFile::copy(env.paths().blankTemplate(), env.paths().customizedTemplate());
    QThread::msleep(20);
    {
        auto w = startRecordWindow(messages, env);
        QCOMPARE(w->shownCaptions(), QStringList{"Prepared"});
        w->close();
    }
    QCOMPARE(fileHash(env.dataFile()), before);
    QCOMPARE(QFileInfo(env.dataFile()).lastModified(), modified);
    QCOMPARE(messages.texts(), QStringList());
}

void StartupTest::missingTemplatesAreReportedAndNothingIsCreated() {
    TestEnvironment env;
    QFile::remove(env.paths().blankTemplate());
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QVERIFY(!QFile::exists(env.dataFile()));
    QVERIFY(!messages.shown.isEmpty());
    const Message& first = messages.shown.first();
    QCOMPARE(first.title, QString("Application Error"));
    QVERIFY(first.text.contains(env.paths().blankTemplate()));
    QVERIFY(first.text.contains(env.paths().customizedTemplate()));
    QVERIFY(first.text.contains("in Orvelin2021/08/31.Form1.Form_Load at line "));
    // The window stays usable: commands do nothing rather than fail again and again.
    const int reported = messages.shown.size();
    w->PushButton3_Click();
    w->PushButton11_Click();
    w->PushButton4_Click();
    QCOMPARE(messages.shown.size(), reported);
}

void StartupTest::unusableDataFileIsReportedOnceAndLeftAlone_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("said");
    QTest::newRow("empty") << QByteArray() << "is empty";
    QTest::newRow("random") << QByteArray("\x13\x37 not a database at all", 24)
                            << "is not a database";
}

void StartupTest::unusableDataFileIsReportedOnceAndLeftAlone() {
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    TestEnvironment env;
    writeFile(env.dataFile(), content);
    const QByteArray before = fileHash(env.dataFile());
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QVERIFY(w && w->isVisible());
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY2(messages.shown[0].text.contains(env.dataFile()), qPrintable(messages.shown[0].text));
    QVERIFY2(messages.shown[0].text.contains(said), qPrintable(messages.shown[0].text));
    w->PushButton4_Click();
    w->close();
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(fileHash(env.dataFile()), before);
    QCOMPARE(QFileInfo(env.dataFile()).size(), qint64(content.size()));
}

void StartupTest::sizeSettingsAreRestored() {
    ScriptedMessages messages;
    {
        TestEnvironment env;
        SaveSetting("Text3", "120");
        SaveSetting("Text4", "");
        auto w = startRecordWindow(messages, env);
        QCOMPARE(w->findChild<QLineEdit*>("Text3")->text(), QString("120"));
        QCOMPARE(w->findChild<QLineEdit*>("Text4")->text(), QString());
    }
    TestEnvironment fresh;
    auto other = startRecordWindow(messages, fresh);
    QCOMPARE(other->findChild<QLineEdit*>("Text3")->text(), QString("0"));
    QCOMPARE(other->findChild<QLineEdit*>("Text4")->text(), QString("0"));
}

void StartupTest::missingProviderEndsStartUp() {
    for (Answer answer : {Answer::No, Answer::Yes}) {
        TestEnvironment env;
        ScriptedMessages messages;
        messages.answer(answer);
        QStringList opened;
        Form1 w(messages, env.paths());
        w.setProviderServices(ProviderServices{
            [] {
                throw RuntimeError(3706,
                                   "Provider cannot be found. It may not be properly installed.");
            },
            [&opened](const QString& page) { opened << page; }});
        QVERIFY(!w.Form_Load());
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(messages.shown[0].text.startsWith("Error #3706: Provider cannot be found."));
        QCOMPARE(messages.shown[0].buttons, Message::Buttons::YesNo);
        QCOMPARE(messages.shown[0].title, QString());
        if (answer == Answer::No) {
            QVERIFY(opened.isEmpty());
        } else {
            QCOMPARE(opened.size(), 2);
            QVERIFY(opened[0].endsWith("id=13255"));
            QVERIFY(opened[1].endsWith("id=54920"));
        }
        QVERIFY(w.mConnection() == nullptr);
    }
}

void StartupTest::windowShowsDesignedControls() {
    TestEnvironment env;
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QCOMPARE(w->windowTitle(), QString("Ledgerloom"));
    QCOMPARE(boxTitle(), QString("Ledgerloom"));
    QVERIFY(!w->windowIcon().isNull());
    QCOMPARE(Twips::geometry(w.get()).size(), QSize(10800, 10425));
    struct Designed {
        const char* name;
        const char* caption;
        QRect twips;
    };
    const Designed designed[] = {
        {"PushButton13", "Setup Fields", {120, 120, 1560, 405}},
        {"PushButton4", "Refresh Fields", {1800, 120, 1680, 405}},
        {"PushButton7", "Search ", {3600, 120, 960, 405}},
        {"PushButton5", "Export To Excel", {4680, 120, 1920, 405}},
        {"PushButton10", "First", {6720, 120, 720, 405}},
        {"PushButton9", "Previous", {7560, 120, 1080, 405}},
        {"PushButton11", "Next", {8760, 120, 840, 405}},
        {"PushButton12", "Last", {9720, 120, 960, 405}},
        {"PushButton3", "Create New Record", {120, 9060, 2280, 400}},
        {"PushButton1", "Edit Current Record", {2520, 9060, 2295, 400}},
        {"PushButton2", "Delete Current Record", {4920, 9060, 2640, 400}},
        {"PushButton6", "Save Record", {7680, 9060, 1590, 400}},
        {"PushButton8", "Cancel", {9360, 9060, 1320, 405}},
        {"lblRecord", "Record 0 of 0", {9255, 45, 1125, 225}},
        {"Frame2",
         "Set Width and Height in pixels For All TestBoxes (0 means default):",
         {120, 9540, 10560, 795}},
        {"Label2", "Width", {480, 330, 495, 225}},
        {"Label3", "Height", {2880, 330, 540, 225}},
    };
    for (const Designed& d : designed) {
        QWidget* control = w->findChild<QWidget*>(d.name);
        QVERIFY2(control, d.name);
        QCOMPARE(caption(*w, d.name), QString(d.caption));
        QCOMPARE(Twips::geometry(control), d.twips);
    }
    QCOMPARE(Twips::geometry(w->findChild<QWidget*>("SSTab1")), QRect(120, 630, 10560, 8340));
    QCOMPARE(Twips::geometry(w->findChild<QWidget*>("Frame1")), QRect(135, 990, 10455, 7845));
    QCOMPARE(w->findChild<QTabWidget*>("SSTab1")->tabText(0), QString("Page 1"));
    QVERIFY(w->font().bold());
    QCOMPARE(w->font().pointSizeF(), 9.0);
}

void StartupTest::activationRebuildsOnlyForOwnWindows() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"one"}, {"two"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    w->PushButton11_Click();
    // Coming back from another program is not a return from one of ours.
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(w.get(), &activate);
    settle(*w);
    QCOMPARE(w->mIndex(), 2);
    gRecordPicked = true;
    w->Form_Activate();
    QCOMPARE(w->mIndex(), 2);
    QVERIFY(!gRecordPicked);
    w->Form_Activate();
    QCOMPARE(w->mIndex(), 1);
}

void StartupTest::closingDiscardsNewRecordOnly() {
    TestEnvironment env;
    env.addFields(27);
    env.addRecords({{"kept"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    // A page switch stores the new record at once; closing must take it away again.
    w->PushButton3_Click();
    qobject_cast<QLineEdit*>(w->mInputControls()[0])->setText("never saved");
    w->findChild<QTabWidget*>("SSTab1")->setCurrentIndex(1);
    settle(*w);
    QCOMPARE(env.query("SELECT count(*) FROM CustomTable")[0][0].toString(), QString("2"));
    w->close();
    QCOMPARE(env.query("SELECT F1 FROM CustomTable"), (QList<QVariantList>{{"kept"}}));

    // Closing while an existing record is edited neither saves nor cancels it.
    auto again = startRecordWindow(messages, env);
    again->PushButton1_Click();
    qobject_cast<QLineEdit*>(again->mInputControls()[0])->setText("typed");
    again->close();
    QCOMPARE(env.query("SELECT F1 FROM CustomTable"), (QList<QVariantList>{{"kept"}}));
    QCOMPARE(messages.texts(), QStringList());
}

void StartupTest::pointerFollowsTheMouse() {
    TestEnvironment env;
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    auto move = [](QWidget* over) {
        QMouseEvent event(QEvent::MouseMove, QPointF(2, 2), over->mapToGlobal(QPointF(2, 2)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(over, &event);
    };
    auto* button = w->findChild<QPushButton*>("PushButton6");
    move(button);
    QCOMPARE(w->pointerFeedback().pointer(), MousePointer::Custom);
    QCOMPARE(w->cursor().shape(), Qt::BitmapCursor); // the shipped hand cursor
    move(w->findChild<QWidget*>("Frame2"));
    QCOMPARE(w->pointerFeedback().pointer(), MousePointer::Default);
    QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
    {
        HourglassPointer busy(w->pointerFeedback());
        move(button);
        QCOMPARE(w->cursor().shape(), Qt::WaitCursor);
    }
    QCOMPARE(w->pointerFeedback().pointer(), MousePointer::Default);
    // Without the cursor file the buttons still switch to "the custom pointer".
    QFile::remove(env.paths().handCursor());
    auto plain = startRecordWindow(messages, env);
    move(plain->findChild<QPushButton*>("PushButton6"));
    QCOMPARE(plain->pointerFeedback().pointer(), MousePointer::Custom);
    QCOMPARE(plain->cursor().shape(), Qt::PointingHandCursor);
}

void StartupTest::waitForRecordsTableIsBounded() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    {
        // A file that lost its records table.
        ScriptedMessages setup;
        auto w = startRecordWindow(setup, env);
        w->mConnection()->Execute("DROP TABLE CustomTable");
        w->close();
    }
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QVERIFY(w && !w->mGenerating());
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.shown[0].text.contains(env.dataFile()));
    QVERIFY(messages.shown[0].text.contains("CustomTable"));
    QCOMPARE(w->mInputControls().size(), 1); // the page is built all the same
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
