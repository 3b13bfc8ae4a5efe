// Start-up and the record window's life: the data file made from a template once, a clear
// message when it cannot be, the size settings, the provider check, activation, closing.

#include "app/runtimeerror.h"
#include "app/settings.h"
#include "record/form1.h"
#include "app/providercheck.h"
#include "support/testsupport.h"

#include <QtTest>
#include <QtWidgets>

class StartupTest : public QObject {
    Q_OBJECT
  private slots:
    void firstStartCopiesATemplateOnce_data();
    void firstStartCopiesATemplateOnce();
    void missingTemplatesAreReportedAndNothingIsCreated();
    void missingRecordsTableIsReportedWithoutWaitingForEver();
    void sizeSettingsAreRestored();
    void missingProviderEndsStartUp();
    void activationByAnotherProgramKeepsTheRecord();
    void closingDiscardsNewRecordOnly();
    void pointerFollowsTheMouse();
};

void StartupTest::firstStartCopiesATemplateOnce_data() {
    QTest::addColumn<bool>("customized");
    QTest::newRow("blank template") << false;
    QTest::newRow("customized template") << true;
}

void StartupTest::firstStartCopiesATemplateOnce() {
    QFETCH(bool, customized);
    TestEnvironment env;
    if (customized) {
        env.addField("Prepared", "Textfield");
        QVERIFY(QFile::rename(env.dataFile(), env.paths().customizedTemplate()));
    }
    // A new account has no data folder of its own yet.
    QVERIFY(QDir(env.paths().dataFolder()).removeRecursively());
    const QString used =
        customized ? env.paths().customizedTemplate() : env.paths().blankTemplate();
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QVERIFY(w);
    QCOMPARE(bytesOf(env.dataFile()), bytesOf(used));
    QCOMPARE(w->shownCaptions(), customized ? QStringList{"Prepared"} : QStringList());
    w.reset();
    // A later start never replaces or rewrites the data file, whatever the templates hold now.
    env.addField("Later", "Textfield");
    const QByteArray before = bytesOf(env.dataFile());
    QFile::remove(env.paths().customizedTemplate());
    QFile::copy(env.paths().blankTemplate(), env.paths().customizedTemplate());
    w = startRecordWindow(messages, env);
    w.reset();
    QCOMPARE(bytesOf(env.dataFile()), before);
    QCOMPARE(messages.texts(), QStringList());
}

void StartupTest::missingTemplatesAreReportedAndNothingIsCreated() {
    TestEnvironment env;
    QFile::remove(env.paths().blankTemplate());
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QVERIFY(w && w->isVisible());
    QVERIFY(!QFile::exists(env.dataFile()));
    const QString first = messages.texts().value(0);
    QVERIFY2(first.contains(env.paths().blankTemplate()) &&
                 first.contains(env.paths().customizedTemplate()),
             qPrintable(first));
    // The window stays usable: commands do nothing rather than fail again and again.
    const qsizetype reported = messages.shown.size();
    for (const char* button : {"PushButton3", "PushButton11", "PushButton4"})
        press(*w, button);
    QCOMPARE(messages.shown.size(), reported);
}

void StartupTest::missingRecordsTableIsReportedWithoutWaitingForEver() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.execute("DROP TABLE CustomTable");
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QVERIFY(w && !w->mGenerating());
    QVERIFY2(messages.saidOnce({env.dataFile(), "CustomTable"}),
             qPrintable(messages.texts().join('\n')));
    QCOMPARE(w->mInputControls().size(), 1); // the page is built all the same
}

void StartupTest::sizeSettingsAreRestored() {
    ScriptedMessages messages;
    for (const QString& stored : {QString("120"), QString(""), QString()}) {
        TestEnvironment env;
        if (!stored.isNull()) // stored empty is not missing
            SaveSetting("Text3", stored);
        auto w = startRecordWindow(messages, env);
        QCOMPARE(w->findChild<QLineEdit*>("Text3")->text(), stored.isNull() ? "0" : stored);
        QCOMPARE(w->findChild<QLineEdit*>("Text4")->text(), QString("0"));
    }
}

// Yes opens the download pages; either answer ends the start-up without a connection.
void StartupTest::missingProviderEndsStartUp() {
    TestEnvironment env;
    ScriptedMessages messages;
    messages.answer(Answer::Yes);
    QStringList opened;
    Form1 w(messages, env.paths());
    w.setProviderServices(ProviderServices{
        [] { throw RuntimeError(ErrorNumber::ProviderNotFound, "Provider cannot be found."); },
        [&opened](const QString& page) { opened << page; }});
    QVERIFY(!w.Form_Load());
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(opened.size(), 2);
    QVERIFY(w.mConnection() == nullptr);
}

void StartupTest::activationByAnotherProgramKeepsTheRecord() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"one"}, {"two"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    press(*w, "PushButton11");
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(w.get(), &activate);
    settle(*w);
    QCOMPARE(w->mIndex(), 2);
}

void StartupTest::closingDiscardsNewRecordOnly() {
    TestEnvironment env;
    env.addFields(27);
    env.addRecords({{"kept"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    // A page switch stores the new record at once; closing must take it away again.
    press(*w, "PushButton3");
    textBox(*w, 0)->setText("never saved");
    w->findChild<QTabWidget*>("SSTab1")->setCurrentIndex(1);
    settle(*w);
    QCOMPARE(env.query("SELECT count(*) FROM CustomTable")[0][0].toString(), QString("2"));
    w->close();
    QCOMPARE(env.query("SELECT F1 FROM CustomTable"), (QList<QVariantList>{{"kept"}}));

    // Closing while an existing record is edited neither saves nor cancels it.
    w = startRecordWindow(messages, env);
    press(*w, "PushButton1");
    textBox(*w, 0)->setText("typed");
    w->close();
    QCOMPARE(env.query("SELECT F1 FROM CustomTable"), (QList<QVariantList>{{"kept"}}));
    QCOMPARE(messages.texts(), QStringList());
}

// The hand over the buttons: the shipped cursor, or the system's hand without it.
void StartupTest::pointerFollowsTheMouse() {
    TestEnvironment env;
    ScriptedMessages messages;
    for (const Qt::CursorShape hand : {Qt::BitmapCursor, Qt::PointingHandCursor}) {
        auto w = startRecordWindow(messages, env);
        for (const char* over : {"PushButton6", "Frame2"}) {
            QWidget* widget = w->findChild<QWidget*>(over);
            QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                             Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(widget, &move);
            QCOMPARE(w->cursor().shape(), over == QByteArray("Frame2") ? Qt::ArrowCursor : hand);
        }
        QFile::remove(env.paths().handCursor());
    }
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
