#include "app/shell.h"
#include "fields/form2.h"
#include "fields/form4.h"
#include "record/form1.h"
#include "search/form3.h"
#include "support/testsupport.h"

#include <QtTest>
#include <QtWidgets>
#include <qpa/qplatformwindow.h>

namespace {
// How the platform turns a window's title into the one it shows.
struct ShownTitle : QPlatformWindow {
    using QPlatformWindow::formatWindowTitle;
};

// Every push button and the given inputs take the focus by Tab and are named for screen readers;
// the platform shows the window's title as designed, with nothing appended.
void checkReachableAndNamed(QWidget* window, QList<QWidget*> controls) {
    QCOMPARE(ShownTitle::formatWindowTitle(window->windowTitle(), " - "), window->windowTitle());
    for (QPushButton* button : window->findChildren<QPushButton*>())
        controls << button;
    for (QWidget* control : controls) {
        const QString name =
            QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
        QVERIFY2((control->focusPolicy() & Qt::TabFocus) && !name.trimmed().isEmpty(),
                 qPrintable(window->objectName() + '.' + control->objectName()));
    }
}
} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void everyWindowIsReachableByKeyboard();
    void dialogsTakeEnterAndEscape_data();
    void dialogsTakeEnterAndEscape();
    void doubleClickInSearchListIsOk();

  private:
    TestEnvironment m_env;
    ScriptedMessages m_messages;
    std::unique_ptr<Form1> m_record;
};

// A field of each input kind; a second record to find.
void KeyboardTest::initTestCase() {
    for (const char* kind : {"Textfield", "Checkbox", "Dropdown", "Multiline Textfield"})
        m_env.addField(kind, kind, "3", "Red,Blue");
    m_env.addRecords({{"one"}, {"two"}});
    m_record = startRecordWindow(m_messages, m_env);
}

// The record window's inputs also follow one another in Tab order and are named by their captions.
void KeyboardTest::everyWindowIsReachableByKeyboard() {
    const QList<QWidget*>& inputs = m_record->mInputControls();
    checkReachableAndNamed(m_record.get(), inputs);
    QVERIFY(inputs[0]->nextInFocusChain() == inputs[1] &&
            inputs[1]->nextInFocusChain() == inputs[2]);
    Form4 fieldList(m_messages, m_env.paths(), m_env.store(), *m_record);
    checkReachableAndNamed(&fieldList, {fieldList.ListView1});
    Form2 editor(m_messages, m_env.paths(), m_env.store());
    checkReachableAndNamed(&editor, {editor.Text1, editor.cboFieldType});
    Form3 search(m_messages, m_env.paths(), m_env.store(), *m_record);
    checkReachableAndNamed(
        &search, {search.findChild<QWidget*>("Text1"), search.findChild<QWidget*>("ListView1")});
    QCOMPARE(boxTitle(), QString("Ledgerloom")); // message boxes are titled as the program
}

void KeyboardTest::dialogsTakeEnterAndEscape_data() {
    QTest::addColumn<QString>("focused");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("added");
    QTest::newRow("Escape is Cancel") << "Text1" << int(Qt::Key_Escape) << false;
    QTest::newRow("Enter on Add Values") << "PushButton1" << int(Qt::Key_Return) << false;
    QTest::newRow("Enter on Delete Selected") << "PushButton5" << int(Qt::Key_Return) << false;
    QTest::newRow("Enter on Clear All") << "PushButton4" << int(Qt::Key_Enter) << false;
    QTest::newRow("Enter in the caption is OK") << "Text1" << int(Qt::Key_Return) << true; // last
}

// Enter presses the focused button, and OK only when no other button has the focus.
void KeyboardTest::dialogsTakeEnterAndEscape() {
    QFETCH(QString, focused);
    QFETCH(int, key);
    QFETCH(bool, added);
    m_messages.answerInput(std::nullopt);
    Form2 editor(m_messages, m_env.paths(), m_env.store());
    editor.setFieldTypeText("Dropdown");
    editor.show();
    QApplication::setActiveWindow(&editor);
    QTest::keyClicks(editor.Text1, "Price");
    editor.findChild<QWidget*>(focused)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(editor.isHidden(), added || key == Qt::Key_Escape);
    QCOMPARE(m_env.columnsOf("CustomTable").contains("Price"), added);
}

// A double click anywhere in the result list, below the rows too, is OK.
void KeyboardTest::doubleClickInSearchListIsOk() {
    Form3 search(m_messages, m_env.paths(), m_env.store(), *m_record);
    search.show();
    search.findChild<QLineEdit*>("Text1")->setText("two");
    search.findChild<QPushButton*>("PushButton3")->click();
    QWidget* rows = search.findChild<QTreeView*>("ListView1")->viewport();
    QTest::mouseDClick(rows, Qt::LeftButton, {}, QPoint(10, rows->height() - 5));
    QVERIFY(search.isHidden());
    QCOMPARE(m_record->mIndex(), 2);
}

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
