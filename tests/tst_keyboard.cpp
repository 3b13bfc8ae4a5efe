#include "app/shell.h"
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
#include <QTreeView>
#include <QTreeWidget>
#include <qpa/qplatformwindow.h>

namespace {
// How the platform turns a window's title into the one it shows.
struct ShownTitle : QPlatformWindow {
    using QPlatformWindow::formatWindowTitle;
};

// Every push button and the given inputs can be reached with Tab and are named for screen
// readers.
void checkReachableAndNamed(QWidget* window, QList<QWidget*> controls) {
    QSet<QWidget*> chain;
    for (QWidget* step = window->nextInFocusChain(); step && step != window;
         step = step->nextInFocusChain())
        chain.insert(step);
    for (QPushButton* button : window->findChildren<QPushButton*>())
        controls << button;
    for (QWidget* control : controls) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        QVERIFY2(chain.contains(control) && (control->focusPolicy() & Qt::TabFocus) && accessible &&
                     !accessible->text(QAccessible::Name).trimmed().isEmpty(),
                 qPrintable(window->objectName() + '.' + control->objectName()));
    }
}
} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
  private slots:
    void everyWindowIsReachableByKeyboard();
    void dialogsTakeEnterAndEscape_data();
    void dialogsTakeEnterAndEscape();
    void titlesReadAsDesigned();
    void doubleClickInSearchListIsOk();
};

// The record window's inputs also follow one another in Tab order and are named by their captions.
void KeyboardTest::everyWindowIsReachableByKeyboard() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Paid", "Checkbox", "1", "Yes,No");
    env.addField("Colour", "Dropdown", "3", "Red,Blue");
    env.addField("Notes", "Multiline Textfield");
    ScriptedMessages messages;
    auto record = startRecordWindow(messages, env);
    const QList<QWidget*>& inputs = record->mInputControls();
    checkReachableAndNamed(record.get(), inputs);
    QStringList names;
    for (QWidget* input : inputs)
        names << input->accessibleName();
    QCOMPARE(names, record->shownCaptions());
    QCOMPARE(inputs[0]->nextInFocusChain(), inputs[1]);
    QCOMPARE(inputs[1]->nextInFocusChain(), inputs[2]);
    // Each record window command also has keys of its own, shown in its tool tip.
    for (QPushButton* button : record->findChildren<QPushButton*>())
        QVERIFY2(!button->toolTip().isEmpty(), qPrintable(button->objectName()));

    Form4 fieldList(messages, env.paths(), *record);
    checkReachableAndNamed(&fieldList, {fieldList.findChild<QWidget*>("ListView1")});
    Form2 editor(messages, env.paths());
    checkReachableAndNamed(&editor, {editor.Text1, editor.findChild<QWidget*>("cboFieldType")});
    Form3 search(messages, env.paths(), *record);
    checkReachableAndNamed(
        &search, {search.findChild<QWidget*>("Text1"), search.findChild<QWidget*>("ListView1")});
    QCOMPARE(messages.texts(), QStringList());
}

void KeyboardTest::dialogsTakeEnterAndEscape_data() {
    QTest::addColumn<QString>("focused");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("added");
    QTest::newRow("Enter in the caption is OK") << "Text1" << int(Qt::Key_Return) << true;
    QTest::newRow("Escape is Cancel") << "Text1" << int(Qt::Key_Escape) << false;
    QTest::newRow("Enter on Add Values") << "PushButton1" << int(Qt::Key_Return) << false;
    QTest::newRow("Enter on Delete Selected") << "PushButton5" << int(Qt::Key_Return) << false;
    QTest::newRow("Enter on Clear All") << "PushButton4" << int(Qt::Key_Enter) << false;
}

// Enter presses the focused button, and OK only when no other button has the focus.
void KeyboardTest::dialogsTakeEnterAndEscape() {
    QFETCH(QString, focused);
    QFETCH(int, key);
    QFETCH(bool, added);
    TestEnvironment env;
    env.createDataFile();
    ScriptedMessages messages;
    messages.answerInput(std::nullopt);
    Form2 editor(messages, env.paths());
    editor.setFieldTypeText("Dropdown");
    editor.show();
    QApplication::setActiveWindow(&editor);
    QTest::keyClicks(editor.Text1, "Price");
    editor.findChild<QWidget*>(focused)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(editor.isHidden(), added || key == Qt::Key_Escape);
    QCOMPARE(env.columnsOf("CustomTable").contains("Price"), added);
}

// The platform shows each window's and box's title as designed, with nothing appended.
void KeyboardTest::titlesReadAsDesigned() {
    TestEnvironment env;
    env.createDataFile();
    ScriptedMessages messages;
    auto record = startRecordWindow(messages, env);
    Form4 fieldList(messages, env.paths(), *record);
    Form3 search(messages, env.paths(), *record);
    QCOMPARE(fieldList.windowTitle() + '|' + search.windowTitle(), QString("Setup Fields|Search"));
    for (const QString& title :
         {fieldList.windowTitle(), search.windowTitle(), Form2::AddCaption, Form2::UpdateCaption,
          QString("Question"), QString("Application Error"),
          QString("Input combobox default values")})
        QCOMPARE(ShownTitle::formatWindowTitle(title, QString::fromUtf8(" \u2014 ")), title);
    QCOMPARE(boxTitle(), QString("Ledgerloom"));
}

// A double click anywhere in the result list, below the rows too, is OK.
void KeyboardTest::doubleClickInSearchListIsOk() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"one"}, {"two"}});
    ScriptedMessages messages;
    auto record = startRecordWindow(messages, env);
    Form3 search(messages, env.paths(), *record);
    search.show();
    search.findChild<QLineEdit*>("Text1")->setText("two");
    search.findChild<QPushButton*>("PushButton3")->click();
    QWidget* rows = search.findChild<QTreeView*>("ListView1")->viewport();
    QTest::mouseDClick(rows, Qt::LeftButton, {}, QPoint(10, rows->height() - 5));
    QVERIFY(search.isHidden());
    QCOMPARE(record->mIndex(), 2);
}

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
