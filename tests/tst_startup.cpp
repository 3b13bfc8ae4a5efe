// Start-up and the record window's life: the data file made from a template once, a clear
// message when it cannot be, the provider check, sizes, activation, the pointer, closing.

#include "app/runtimeerror.h"
#include "app/settings.h"
#include "record/form1.h"
#include "record/providercheck.h"
#include "support/testsupport.h"

#include <QtTest>
#include <QtWidgets>
#include <sys/stat.h>

class StartupTest : public QObject {
    Q_OBJECT
  private slots:
    void firstStartCopiesATemplateOnce();
    void missingTemplatesAreReportedAndNothingIsCreated();
    void missingRecordsTableIsReportedWithoutWaitingForEver();
    void missingProviderEndsStartUp();
    void windowComesBackAsLeft();
    void closingDiscardsNewRecordOnly();
};

// The data file is made from the customized template, else the blank one; it holds the
// records, so only the user may read it, whatever the template's mode and the umask.
void StartupTest::firstStartCopiesATemplateOnce() {
    umask(022);
    for (const bool customized : {false, true}) {
        TestEnvironment env;
        const AppPaths app = env.paths();
        env.addField("Prepared", "Textfield");
        QVERIFY(!customized || QFile::rename(env.dataFile(), app.customizedTemplate()));
        // A new account has no data folder of its own yet.
        QVERIFY(QDir(app.dataFolder()).removeRecursively());
        const QString source = customized ? app.customizedTemplate() : app.blankTemplate();
        const auto used = bytesOf(source);
        QVERIFY(QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadGroup | QFile::ReadOther));
        ScriptedMessages messages;
        auto w = startRecordWindow(messages, env);
        QVERIFY(w && bytesOf(env.dataFile()) == used);
        QCOMPARE(modeOf(env.dataFile()), 0600);
        w.reset();
        // A later start never replaces or rewrites the data file, whatever the templates hold.
        env.addField("Later", "Textfield");
        const QByteArray before = bytesOf(env.dataFile());
        QFile::copy(app.blankTemplate(), app.customizedTemplate());
        QVERIFY(startRecordWindow(messages, env));
        QVERIFY(bytesOf(env.dataFile()) == before && messages.shown.isEmpty());
    }
}

void StartupTest::missingTemplatesAreReportedAndNothingIsCreated() {
    TestEnvironment env;
    QFile::remove(env.paths().blankTemplate());
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QVERIFY(w && w->isVisible() && !QFile::exists(env.dataFile()));
    const QStringList reported = messages.texts();
    QVERIFY(reported.value(0).contains(env.paths().blankTemplate()) &&
            reported.value(0).contains(env.paths().customizedTemplate()));
    // The window stays usable: commands do nothing rather than fail again and again.
    for (const char* button : {"PushButton3", "PushButton11", "PushButton4"})
        press(*w, button);
    QCOMPARE(messages.texts(), reported);
}

void StartupTest::missingRecordsTableIsReportedWithoutWaitingForEver() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.execute("DROP TABLE CustomTable");
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    VERIFY_SAID_ONCE(messages, env.dataFile(), "CustomTable");
    // Its page is built all the same.
    QVERIFY(w && !w->mGenerating() && w->mInputControls().size() == 1);
}

// Yes opens the download pages; either answer ends the start-up without a connection.
void StartupTest::missingProviderEndsStartUp() {
    TestEnvironment env;
    ScriptedMessages messages;
    messages.answer(Answer::Yes);
    QStringList opened;
    Form1 w(messages, env.paths(), env.store());
    w.setProviderServices(ProviderServices{
        [] { throw RuntimeError(ErrorNumber::ProviderNotFound, "Provider cannot be found."); },
        [&opened](const QString& page) { opened << page; }});
    QVERIFY(!w.Form_Load() && w.mConnection() == nullptr);
    QVERIFY(messages.shown.size() == 1 && opened.size() == 2);
}

// The sizes come back as stored, a size stored empty not taken for a missing one. Activation by
// another program keeps the record. The hand over the buttons is the shipped cursor, or the
// system's hand without it.
void StartupTest::windowComesBackAsLeft() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"one"}, {"two"}});
    SaveSetting("Text3", "");
    ScriptedMessages messages;
    for (const Qt::CursorShape hand : {Qt::BitmapCursor, Qt::PointingHandCursor}) {
        auto w = startRecordWindow(messages, env);
        QCOMPARE(w->findChild<QLineEdit*>("Text3")->text(), QString(""));
        QCOMPARE(w->findChild<QLineEdit*>("Text4")->text(), QString("0"));
        press(*w, "PushButton11");
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(w.get(), &activate);
        settle(*w);
        QCOMPARE(w->mIndex(), 2);
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

// A page switch stores a new record at once, and closing must take it away again; closing
// while an existing record is edited neither saves nor cancels it.
void StartupTest::closingDiscardsNewRecordOnly() {
    TestEnvironment env;
    env.addFields(27);
    env.addRecords({{"kept"}});
    ScriptedMessages messages;
    for (const QByteArray command : {"PushButton3", "PushButton1"}) {
        auto w = startRecordWindow(messages, env);
        press(*w, command.constData());
        textBox(*w, 0)->setText("typed");
        if (command == "PushButton3") { // the page switch stores the new record
            w->findChild<QTabWidget*>("SSTab1")->setCurrentIndex(1);
            settle(*w);
        }
        w->close();
        QCOMPARE(env.query("SELECT F1 FROM CustomTable"), (QList<QVariantList>{{"kept"}}));
    }
    QCOMPARE(messages.texts(), QStringList());
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
