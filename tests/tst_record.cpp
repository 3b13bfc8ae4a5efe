#include "record/form1.h"
#include "store/recordset.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

class RecordWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void showsFirstRecordOfGeneratedPage();
};

void RecordWindowTest::showsFirstRecordOfGeneratedPage() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Colour", "Dropdown", "3", "Red,[Green],Blue");
    env.addField("Paid", "Checkbox", "1", "Yes,No");
    env.addRecords({{" Ann ", "Red", "1"}, {"Bob", "Pink", "0"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(window->findChild<QLabel*>("lblRecord")->text(), QString("Record 1 of 2"));
    QCOMPARE(window->mInputControls().size(), 3);
    QCOMPARE(qobject_cast<QLineEdit*>(window->mInputControls()[0])->text(), QString("Ann"));
    QCOMPARE(qobject_cast<QComboBox*>(window->mInputControls()[1])->currentText(), QString("Red"));
    QVERIFY(qobject_cast<QCheckBox*>(window->mInputControls()[2])->isChecked());
    window->PushButton11_Click();
    QCOMPARE(qobject_cast<QComboBox*>(window->mInputControls()[1])->currentText(), QString("Pink"));
    QCOMPARE(window->mIndex(), 2);
}

QTEST_MAIN(RecordWindowTest)
#include "tst_record.moc"
