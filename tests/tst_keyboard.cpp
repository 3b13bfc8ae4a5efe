#include "fields/form2.h"
#include "fields/form4.h"
#include "record/form1.h"
#include "search/form3.h"
#include "support/testsupport.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTreeWidget>

namespace {
// Every push button and the given inputs can be reached with Tab and are named for screen
// readers.
void checkReachableAndNamed(QWidget* window, const QList<QWidget*>& inputs) {
    QSet<QWidget*> chain;
    QWidget* step = window;
    do {
        chain.insert(step);
        step = step->nextInFocusChain();
    } while (step && step != window);
    QList<QWidget*> controls = inputs;
    for (QPushButton* button : window->findChildren<QPushButton*>())
        controls << button;
    QVERIFY(!controls.isEmpty());
    for (QWidget* control : controls) {
        const QString what = window->objectName() + '.' + control->objectName();
        QVERIFY2(chain.contains(control), qPrintable(what + " is not in the Tab order"));
        QVERIFY2(control->focusPolicy() & Qt::TabFocus, qPrintable(what + " takes no Tab focus"));
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        QVERIFY2(accessible && !accessible->text(QAccessible::Name).trimmed().isEmpty(),
                 qPrintable(what + " has no accessible name"));
    }
}
} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
  private slots:
    void everyWindowIsReachableByKeyboard();
    void dialogsTakeEnterAndEscape();
};

void KeyboardTest::everyWindowIsReachableByKeyboard() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Notes", "Multiline Textfield");
    env.addField("Colour", "Dropdown", "3", "Red,Blue");
    env.addField("Paid", "Checkbox", "1", "Yes,No");
    ScriptedMessages messages;
    auto record = startRecordWindow(messages, env);
    checkReachableAndNamed(record.get(), record->mInputControls());
    // Each record window command also has keys of its own, shown in its tool tip.
    for (QPushButton* button : record->findChildren<QPushButton*>())
        QVERIFY2(!button->toolTip().isEmpty(), qPrintable(button->objectName()));

    Form4 fieldList(messages, env.paths(), *record);
    checkReachableAndNamed(&fieldList, {fieldList.findChild<QWidget*>("ListView1")});
    QTreeWidget list;
    Form2 editor(messages, env.paths(), list);
    checkReachableAndNamed(
        &editor, {editor.findChild<QWidget*>("Text1"), editor.findChild<QWidget*>("cboFieldType")});
    Form3 search(messages, env.paths(), *record);
    checkReachableAndNamed(
        &search, {search.findChild<QWidget*>("Text1"), search.findChild<QWidget*>("ListView1")});
    QCOMPARE(messages.texts(), QStringList());
}

void KeyboardTest::dialogsTakeEnterAndEscape() {
    TestEnvironment env;
    env.createDataFile();
    ScriptedMessages messages;
    QTreeWidget list;
    {
        // Enter presses OK: the field is added.
        Form2 editor(messages, env.paths(), list);
        editor.setWindowTitle(Form2::AddCaption);
        editor.show();
        auto* caption = editor.findChild<QLineEdit*>("Text1");
        caption->setFocus();
        QTest::keyClicks(caption, "Price");
        QTest::keyClick(caption, Qt::Key_Return);
        QVERIFY(editor.isHidden());
    }
    QCOMPARE(env.columnsOf("CustomTable"), (QStringList{"ID", "Price"}));
    {
        // Escape is Cancel: nothing is written.
        Form2 editor(messages, env.paths(), list);
        editor.setWindowTitle(Form2::AddCaption);
        editor.show();
        auto* caption = editor.findChild<QLineEdit*>("Text1");
        caption->setFocus();
        QTest::keyClicks(caption, "Unwanted");
        QTest::keyClick(caption, Qt::Key_Escape);
        QVERIFY(editor.isHidden());
    }
    QCOMPARE(env.columnsOf("CustomTable"), (QStringList{"ID", "Price"}));
    QCOMPARE(env.query("SELECT fieldname FROM FieldControl"), (QList<QVariantList>{{"Price"}}));
    QCOMPARE(messages.texts(), QStringList());
}

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
