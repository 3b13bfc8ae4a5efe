#include "app/flags.h"
#include "app/settings.h"
#include "app/twips.h"
#include "fields/form4.h"
#include "record/form1.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <qpa/qwindowsysteminterface.h>

namespace {
QLineEdit* line(Form1& w, int entry) {
    return qobject_cast<QLineEdit*>(w.mInputControls()[entry]);
}
QComboBox* combo(Form1& w, int entry) {
    return qobject_cast<QComboBox*>(w.mInputControls()[entry]);
}
QCheckBox* check(Form1& w, int entry) {
    return qobject_cast<QCheckBox*>(w.mInputControls()[entry]);
}
QString record(Form1& w) {
    return w.findChild<QLabel*>("lblRecord")->text();
}
QTabWidget* tabs(Form1& w) {
    return w.findChild<QTabWidget*>("SSTab1");
}
QRect twips(QWidget* widget) {
    return Twips::geometry(widget);
}
const QString SaveOrCancel = "Please save or cancel current record first.";

QLabel* captionOf(Form1& w, QWidget* input) {
    for (QLabel* label : w.findChildren<QLabel*>())
        if (label->buddy() == input)
            return label;
    return nullptr;
}

// Switches page as the user does, by clicking the tab.
void switchPage(Form1& w, int page) {
    tabs(w)->setCurrentIndex(page);
    settle(w);
}
} // namespace

class RecordWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void showsRecordsOfEveryFieldKind();
    void pagesHoldTwentySixFieldsInTwoColumns();
    void widthsFollowFieldLengthAndSizeSettings();
    void createTypeSaveStoresTextsAsTyped();
    void cancelOfNewRecordAfterPageSwitchRemovesRow();
    void cancelOfEditRestoresStoredValues();
    void deleteAsksWithNoPreselected();
    void navigationStopsAtBothEnds();
    void commandsWaitWhileEditing();
    void saveFailureKeepsEverythingTyped();
    void dropDownKeepsValueMissingFromItsList();
    void pageSwitchWhileBrowsingKeepsRecord();
    void pageSwitchWhileEditingStoresPageLeft();
    void pageBeyondLastShowsLastPage();
    void nullDefinitionsReadAsEmpty();
    void sizeBoxesCheckedWhenLeft();
    void inputsCarryCaptionsAndTabOrder();
    void keyboardReachesCommands();
    void inputWhileAPageIsBuiltWaits_data();
    void inputWhileAPageIsBuiltWaits();
    void inputsBindToTheirOwnFieldsColumn();
    void untouchedValuesAreStoredBackExactly_data();
    void untouchedValuesAreStoredBackExactly();
    void sizesAndCaptionsKeepTheirDesignedPlace();
};

void RecordWindowTest::showsRecordsOfEveryFieldKind() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Colour", "DROPDOWN", "3", "red,green,,blue");
    env.addField("Paid", "checkbox", "1", "YES");
    env.addField("Notes", "Multiline Textfield");
    env.addField("Mystery", "Slider");
    env.addRecords({{" Ann ", "red", "1", "line one"}, {"Bob", QVariant(), "-1", QVariant()}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QVERIFY(w);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(record(*w), QString("Record 1 of 2"));
    // An unknown type word gives a label without an input.
    QCOMPARE(w->mInputControls().size(), 4);
    QCOMPARE(w->shownCaptions(), (QStringList{"Name", "Colour", "Paid", "Notes", "Mystery"}));
    QCOMPARE(line(*w, 0)->text(), QString("Ann"));
    QCOMPARE(combo(*w, 1)->count(), 4);
    QCOMPARE(combo(*w, 1)->itemText(2), QString());
    QCOMPARE(combo(*w, 1)->currentText(), QString("red"));
    QVERIFY(check(*w, 2)->isChecked());
    QCOMPARE(qobject_cast<QPlainTextEdit*>(w->mInputControls()[3])->toPlainText(),
             QString("line one"));
    QVERIFY(!line(*w, 0)->isEnabled());
    w->PushButton11_Click();
    QCOMPARE(record(*w), QString("Record 2 of 2"));
    QCOMPARE(combo(*w, 1)->currentIndex(), -1);
    QVERIFY(!check(*w, 2)->isChecked()); // -1 is not ticked
}

void RecordWindowTest::pagesHoldTwentySixFieldsInTwoColumns() {
    for (int count : {0, 26, 27, 30}) {
        TestEnvironment env;
        env.createDataFile();
        env.addFields(count);
        ScriptedMessages messages;
        auto w = startRecordWindow(messages, env);
        const int pages = count == 0 ? 1 : (count + 25) / 26;
        QCOMPARE(tabs(*w)->count(), pages);
        QCOMPARE(tabs(*w)->tabText(pages - 1), QString("Page %1").arg(pages));
        QCOMPARE(w->mInputControls().size(), std::min(count, 26));
        QVERIFY(w->mRSRecords().State() != 0);
        if (count == 0)
            continue;
        QCOMPARE(twips(w->mInputControls()[0]).topLeft(), QPoint(1845, 225));
        if (count >= 14)
            QCOMPARE(twips(w->mInputControls()[13]).topLeft(), QPoint(7175, 225));
        if (count >= 27) {
            switchPage(*w, 1);
            QCOMPARE(w->mInputControls().size(), count - 26);
            QCOMPARE(w->shownCaptions().first(), QString("F27"));
            QCOMPARE(twips(w->mInputControls()[0]).topLeft(), QPoint(1845, 225));
        }
    }
    // A multi-line row pushes the next row 650 down instead of 500.
    TestEnvironment env;
    env.addField("Notes", "Multiline Textfield");
    env.addField("Name", "Textfield");
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QCOMPARE(twips(w->mInputControls()[1]).top(), 875);
}

void RecordWindowTest::widthsFollowFieldLengthAndSizeSettings() {
    TestEnvironment env;
    env.addField("A", "Textfield", "3");
    env.addField("B", "Textfield", "0");
    env.addField("C", "Textfield", "");
    env.addField("D", "Textfield", "abc");
    env.addField("E", "Textfield", "2.5");
    env.addField("F", "Dropdown", "2", "x");
    env.addField("G", "Multiline Textfield", "1");
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    const QList<int> widths{1200, 400, 400, 400, 1000, 800, 400};
    for (int i = 0; i < widths.size(); ++i)
        QCOMPARE(twips(w->mInputControls()[i]).width(), widths[i]);

    SaveSetting("Text3", "100");
    SaveSetting("Text4", "30");
    auto sized = startRecordWindow(messages, env);
    QCOMPARE(twips(sized->mInputControls()[0]).size(), QSize(1500, 450));
    QCOMPARE(twips(sized->mInputControls()[6]).size(), QSize(1500, 450));
    QCOMPARE(twips(sized->mInputControls()[5]).width(), 800); // drop-downs keep their own size
    SaveSetting("Text4", "0");
    auto half = startRecordWindow(messages, env);
    QCOMPARE(twips(half->mInputControls()[0]).width(), 1200);
}

void RecordWindowTest::createTypeSaveStoresTextsAsTyped() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Colour", "Dropdown", "3", "Red,Green");
    env.addField("Paid", "Checkbox", "1", "Yes,No");
    env.addField("Notes", "Multiline Textfield");
    env.addRecords({{"Existing", "Red", "1", ""}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    w->PushButton3_Click();
    QVERIFY(w->mEditing() && w->mNewRecord());
    QCOMPARE(line(*w, 0)->text(), QString());
    QVERIFY(check(*w, 2)->isChecked()); // check boxes keep what the previous record showed
    line(*w, 0)->setText("  007 ");
    combo(*w, 1)->setCurrentText("Green");
    check(*w, 2)->setChecked(false);
    qobject_cast<QPlainTextEdit*>(w->mInputControls()[3])->setPlainText("a\nb");
    w->PushButton6_Click();
    QVERIFY(!w->mEditing());
    QCOMPARE(w->mIndex(), 2);
    QCOMPARE(record(*w), QString("Record 2 of 2"));
    const auto rows = env.query("SELECT * FROM CustomTable ORDER BY ID");
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1], (QVariantList{"2", "  007 ", "Green", "0", "a\nb"}));

    // Edit the record: a tick is stored as 1.
    w->PushButton1_Click();
    check(*w, 2)->setChecked(true);
    w->PushButton6_Click();
    QCOMPARE(env.query("SELECT Paid FROM CustomTable WHERE ID = 2")[0][0].toString(), QString("1"));
    QCOMPARE(messages.texts(), QStringList());
}

void RecordWindowTest::cancelOfNewRecordAfterPageSwitchRemovesRow() {
    TestEnvironment env;
    env.addFields(30);
    env.addRecords({{"first"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    w->PushButton3_Click();
    line(*w, 0)->setText("draft");
    switchPage(*w, 1);
    QCOMPARE(env.query("SELECT count(*) FROM CustomTable")[0][0].toString(), QString("2"));
    QVERIFY(w->mEditing());
    QVERIFY(line(*w, 0)->isEnabled()); // the new page is editable too
    w->PushButton8_Click();
    QCOMPARE(env.query("SELECT count(*) FROM CustomTable")[0][0].toString(), QString("1"));
    QVERIFY(!w->mEditing());
    QCOMPARE(w->mIndex(), 1);
    QCOMPARE(messages.texts(), QStringList());
}

void RecordWindowTest::cancelOfEditRestoresStoredValues() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"one"}, {"two"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    w->PushButton11_Click();
    w->PushButton1_Click();
    line(*w, 0)->setText("changed");
    w->PushButton8_Click();
    QCOMPARE(line(*w, 0)->text(), QString("two"));
    QCOMPARE(w->mIndex(), 2);
    QVERIFY(!line(*w, 0)->isEnabled());
    QCOMPARE(env.query("SELECT Name FROM CustomTable ORDER BY ID")[1][0].toString(),
             QString("two"));
}

void RecordWindowTest::deleteAsksWithNoPreselected() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"one"}, {"two"}, {"three"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    w->PushButton12_Click();
    messages.answer(Answer::No);
    w->PushButton2_Click();
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].text,
             QString("Do you really want to delete this record number three?"));
    QCOMPARE(messages.shown[0].title, QString("Question"));
    QVERIFY(messages.shown[0].secondButtonDefault);
    QCOMPARE(env.query("SELECT count(*) FROM CustomTable")[0][0].toString(), QString("3"));
    messages.answer(Answer::Yes);
    w->PushButton2_Click();
    QCOMPARE(env.query("SELECT Name FROM CustomTable ORDER BY ID"),
             (QList<QVariantList>{{"one"}, {"two"}}));
    QCOMPARE(w->mIndex(), 1);
    QCOMPARE(record(*w), QString("Record 1 of 2"));
    QCOMPARE(line(*w, 0)->text(), QString("one"));
}

void RecordWindowTest::navigationStopsAtBothEnds() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addField("Colour", "Dropdown", "1", "red,blue");
    ScriptedMessages messages;
    {
        auto empty = startRecordWindow(messages, env);
        empty->PushButton11_Click();
        empty->PushButton12_Click();
        QCOMPARE(record(*empty), QString("Record 0 of 0"));
        QCOMPARE(combo(*empty, 1)->currentIndex(), -1); // no record, no choice shown
    }
    env.addRecords({{"one"}, {"two"}, {"three"}});
    auto w = startRecordWindow(messages, env);
    w->PushButton9_Click();
    QCOMPARE(w->mIndex(), 1);
    w->PushButton12_Click();
    QCOMPARE(w->mIndex(), 3);
    w->PushButton11_Click();
    QCOMPARE(w->mIndex(), 3);
    QCOMPARE(line(*w, 0)->text(), QString("three"));
    w->PushButton9_Click();
    QCOMPARE(w->mIndex(), 2);
    QCOMPARE(record(*w), QString("Record 2 of 3"));
    w->PushButton10_Click();
    QCOMPARE(line(*w, 0)->text(), QString("one"));
    QCOMPARE(messages.texts(), QStringList());
}

void RecordWindowTest::commandsWaitWhileEditing() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"one"}, {"two"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    w->PushButton1_Click();
    w->PushButton4_Click();
    w->PushButton13_Click();
    w->PushButton7_Click();
    w->PushButton5_Click();
    QCOMPARE(messages.texts(), QStringList(4, SaveOrCancel));
    w->PushButton11_Click();
    w->PushButton2_Click();
    w->PushButton3_Click();
    QCOMPARE(w->mIndex(), 1);
    QVERIFY(w->mEditing() && !w->mNewRecord());
    QCOMPARE(messages.shown.size(), 4);
}

void RecordWindowTest::saveFailureKeepsEverythingTyped() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"one"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    // A trigger stands for any value the engine refuses.
    w->mConnection()->Execute(
        "CREATE TRIGGER refuse BEFORE UPDATE ON CustomTable "
        "WHEN NEW.Name = 'bad' BEGIN SELECT RAISE(ABORT, 'no bad names'); END");
    w->PushButton1_Click();
    line(*w, 0)->setText("bad");
    w->PushButton6_Click();
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].title, QString("Application Error"));
    QVERIFY(messages.shown[0].text.startsWith(
        "no bad names\r\nin Orvelin2021/08/31.Form1.PushButton6_Click at line "));
    QVERIFY(w->mEditing());
    QVERIFY(line(*w, 0)->isEnabled());
    QCOMPARE(line(*w, 0)->text(), QString("bad"));
    line(*w, 0)->setText("good");
    w->PushButton6_Click();
    QVERIFY(!w->mEditing());
    QCOMPARE(env.query("SELECT Name FROM CustomTable")[0][0].toString(), QString("good"));
}

void RecordWindowTest::dropDownKeepsValueMissingFromItsList() {
    TestEnvironment env;
    env.addField("Colour", "Dropdown", "3", "Red,[Green],Blue");
    env.addRecords({{"Purple"}, {"[Green]"}, {"Red"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QCOMPARE(combo(*w, 0)->currentText(), QString("Purple"));
    w->PushButton1_Click();
    w->PushButton6_Click();
    w->PushButton11_Click();
    QCOMPARE(combo(*w, 0)->currentText(), QString("[Green]"));
    QCOMPARE(combo(*w, 0)->count(), 3); // the kept value does not pile up
    w->PushButton11_Click();
    QCOMPARE(combo(*w, 0)->count(), 3);
    QCOMPARE(env.query("SELECT Colour FROM CustomTable ORDER BY ID")[0][0].toString(),
             QString("Purple"));
}

void RecordWindowTest::pageSwitchWhileBrowsingKeepsRecord() {
    TestEnvironment env;
    env.addFields(27);
    QList<QVariantList> rows;
    for (int r = 1; r <= 3; ++r) {
        QVariantList row;
        for (int f = 1; f <= 27; ++f)
            row << QString("r%1f%2").arg(r).arg(f);
        rows << row;
    }
    env.addRecords(rows);
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    w->PushButton11_Click();
    switchPage(*w, 1);
    QCOMPARE(w->mIndex(), 2);
    QCOMPARE(line(*w, 0)->text(), QString("r2f27"));
    QVERIFY(!w->findChild<QLabel*>("lblRecord")->isVisible());
    switchPage(*w, 0);
    QCOMPARE(line(*w, 25)->text(), QString("r2f26"));
    QVERIFY(w->findChild<QLabel*>("lblRecord")->isVisible());
    // A rebuild that is not a page switch goes back to the first record.
    w->PushButton4_Click();
    QCOMPARE(w->mIndex(), 1);
    QCOMPARE(line(*w, 0)->text(), QString("r1f1"));
}

void RecordWindowTest::pageSwitchWhileEditingStoresPageLeft() {
    TestEnvironment env;
    env.addFields(27);
    env.addRecords({{"a"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    w->PushButton1_Click();
    line(*w, 0)->setText("typed on page 1");
    switchPage(*w, 1);
    QCOMPARE(env.query("SELECT F1 FROM CustomTable")[0][0].toString(), QString("typed on page 1"));
    QCOMPARE(tabs(*w)->count(), 2);
    QVERIFY(line(*w, 0)->isEnabled());
    line(*w, 0)->setText("page 2");
    w->PushButton6_Click();
    QCOMPARE(env.query("SELECT F1, F27 FROM CustomTable")[0],
             (QVariantList{"typed on page 1", "page 2"}));

    // A page that cannot be stored keeps the user on it with the text typed.
    w->mConnection()->Execute("CREATE TRIGGER refuse BEFORE UPDATE ON CustomTable "
                              "WHEN NEW.F27 = 'bad' BEGIN SELECT RAISE(ABORT, 'refused'); END");
    w->PushButton1_Click();
    line(*w, 0)->setText("bad");
    switchPage(*w, 0);
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(tabs(*w)->currentIndex(), 1);
    QCOMPARE(line(*w, 0)->text(), QString("bad"));
    QVERIFY(w->mEditing());
}

void RecordWindowTest::pageBeyondLastShowsLastPage() {
    TestEnvironment env;
    env.addFields(30);
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    switchPage(*w, 1);
    w->generateControls(5);
    QCOMPARE(tabs(*w)->currentIndex(), 1);
    QCOMPARE(w->mInputControls().size(), 4);
    QCOMPARE(messages.texts(), QStringList());
}

void RecordWindowTest::nullDefinitionsReadAsEmpty() {
    TestEnvironment env;
    env.addField("Choice", "Dropdown", "1", QString());
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    w->mConnection()->Execute("UPDATE FieldControl SET FieldValues = NULL, FieldLength = NULL");
    w->PushButton4_Click();
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(combo(*w, 0)->count(), 0);
}

void RecordWindowTest::sizeBoxesCheckedWhenLeft() {
    TestEnvironment env;
    env.addField("Name", "Textfield", "2");
    env.addRecords({{"x"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    auto* width = w->findChild<QLineEdit*>("Text3");
    auto* height = w->findChild<QLineEdit*>("Text4");
    auto leave = [&](QLineEdit* box) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(box, &out);
        settle(*w);
    };
    width->setText("abc");
    QCOMPARE(GetSetting("Text3", "0"), QString("abc")); // stored at every change, unchecked
    leave(width);
    QCOMPARE(messages.texts(), QStringList{"Must be a numeric entry."});
    width->setText("");
    leave(width);
    QCOMPARE(messages.texts().last(), QString("Must be a numeric entry."));
    messages.clear();

    width->setText("575");
    height->setText("30");
    leave(width);
    QCOMPARE(messages.texts(), QStringList{"Must be 574 or less."});
    QCOMPARE(twips(w->mInputControls()[0]).size(), QSize(575 * 15, 450)); // rebuilt all the same
    messages.clear();

    width->setText("100");
    leave(width);
    QCOMPARE(twips(w->mInputControls()[0]).size(), QSize(1500, 450));
    height->setText("509");
    leave(height);
    QCOMPARE(messages.texts(), QStringList{"Must be 508 or less."});
    messages.clear();

    w->mInputControls()[0]->setFocus();
    settle(*w);
    messages.clear();
    const int heightBefore = twips(w->mInputControls()[0]).height();
    w->PushButton1_Click();
    height->setText("40");
    leave(height);
    QVERIFY2(messages.texts() == QStringList{SaveOrCancel}, qPrintable(messages.texts().join('|')));
    QCOMPARE(twips(w->mInputControls()[0]).height(), heightBefore);
}

void RecordWindowTest::inputsCarryCaptionsAndTabOrder() {
    TestEnvironment env;
    env.addField("First", "Textfield");
    env.addField("Second", "Checkbox");
    env.addField("Third", "Dropdown", "1", "a,b");
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QStringList names;
    for (QWidget* input : w->mInputControls())
        names << input->accessibleName();
    QCOMPARE(names, (QStringList{"First", "Second", "Third"}));
    QCOMPARE(w->mInputControls()[0]->nextInFocusChain(), w->mInputControls()[1]);
    QCOMPARE(w->mInputControls()[1]->nextInFocusChain(), w->mInputControls()[2]);
}

void RecordWindowTest::keyboardReachesCommands() {
    TestEnvironment env;
    env.addField("Name", "Textfield");
    env.addRecords({{"one"}, {"two"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_PageDown);
    QCOMPARE(w->mIndex(), 2);
    QTest::keyClick(w.get(), Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(w->mIndex(), 1);
    QTest::keyClick(w.get(), Qt::Key_F2);
    QVERIFY(w->mEditing());
    QCOMPARE(QApplication::focusWidget(), w->mInputControls()[0]);
    QTest::keyClick(w.get(), Qt::Key_F5); // refused like the button
    QCOMPARE(messages.texts(), QStringList{SaveOrCancel});
    QTest::keyClicks(QApplication::focusWidget(), " more");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!w->mEditing());
    QCOMPARE(env.query("SELECT Name FROM CustomTable ORDER BY ID")[0][0].toString(),
             QString("one more"));
    QTest::keyClick(w.get(), Qt::Key_F2);
    QTest::keyClicks(QApplication::focusWidget(), "xyz");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!w->mEditing());
    QCOMPARE(line(*w, 0)->text(), QString("one more"));
}

void RecordWindowTest::inputWhileAPageIsBuiltWaits_data() {
    QTest::addColumn<bool>("editing");
    QTest::newRow("browsing") << false;
    QTest::newRow("editing") << true;
}

// The wheel turns over the tab row arrive as the window system delivers them, every 5 ms,
// while pages are being built: none may run inside a build.
void RecordWindowTest::inputWhileAPageIsBuiltWaits() {
    QFETCH(bool, editing);
    TestEnvironment env;
    env.addFields(104);
    QVariantList stored;
    for (int f = 1; f <= 104; ++f)
        stored << QString("r1-%1").arg(f);
    env.addRecords({stored});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    if (editing)
        w->PushButton1_Click();
    QTabBar* bar = tabs(*w)->tabBar();
    const QPoint at = bar->mapTo(w.get(), bar->rect().center());
    int notch = 0;
    QTimer storm;
    storm.setInterval(5);
    QObject::connect(&storm, &QTimer::timeout, [&] {
        const int delta = (notch / 6) % 2 == 0 ? -120 : 120; // 6 down, 6 up
        QWindowSystemInterface::handleWheelEvent(w->windowHandle(), at, w->mapToGlobal(at),
                                                 QPoint(), QPoint(0, delta));
        if (++notch == 96)
            storm.stop();
    });
    storm.start();
    QTRY_VERIFY_WITH_TIMEOUT(!storm.isActive(), 60000);
    QTest::qWait(50);
    settle(*w);
    const int page = tabs(*w)->currentIndex();
    QCOMPARE(w->mInputControls().size(), 26);
    for (int i = 0; i < 26; ++i)
        QCOMPARE(line(*w, i)->text(), QString("r1-%1").arg(page * 26 + i + 1));
    if (editing)
        w->PushButton6_Click();
    QCOMPARE(QVariant(env.query("SELECT * FROM CustomTable")[0].mid(1)).toStringList(),
             QVariant(stored).toStringList());
    QCOMPARE(messages.texts(), QStringList());
}

// A field without an input (an unknown or Null type word) or without a column shifts no other
// field: each input shows and saves its own field's column.
void RecordWindowTest::inputsBindToTheirOwnFieldsColumn() {
    TestEnvironment env;
    env.addField("A", "Textfield");
    env.addField("B", "Memo");
    env.addField("N", "Textfield");
    env.execute("UPDATE FieldControl SET FieldType = NULL WHERE fieldname = 'N'");
    env.execute("INSERT INTO FieldControl VALUES ('M', 'Textfield', '8', '')"); // no column
    env.addField("C", "Textfield");
    env.addField("D", "Dropdown", "2", "x,y");
    env.addRecords({{"a", "b", "n", "c", "y"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QStringList shown;
    for (int i = 0; i < w->mInputControls().size(); ++i)
        shown << w->mInputControls()[i]->accessibleName() + '=' +
                     (line(*w, i) ? line(*w, i)->text() : combo(*w, i)->currentText());
    QVERIFY2(shown == (QStringList{"A=a", "C=c", "D=y"}), qPrintable(shown.join('|')));
    w->PushButton1_Click();
    line(*w, 1)->setText("c2");
    w->PushButton6_Click();
    QCOMPARE(env.query("SELECT * FROM CustomTable")[0],
             (QVariantList{"1", "a", "b", "n", "c2", "y"}));

    Form4 fieldList(messages, env.paths(), *w);
    auto* list = fieldList.findChild<QTreeWidget*>("ListView1");
    list->setCurrentItem(list->topLevelItem(3));
    fieldList.findChild<QPushButton*>("PushButton3")->click();
    QCOMPARE(env.query("SELECT count(*) FROM FieldControl WHERE fieldname = 'M'")[0][0].toInt(), 0);
    QCOMPARE(env.columnsOf("CustomTable"), (QStringList{"ID", "A", "B", "N", "C", "D"}));
    QCOMPARE(messages.texts(), QStringList());
}

void RecordWindowTest::untouchedValuesAreStoredBackExactly_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("switchPage");
    QTest::newRow("text box") << "Textfield"
                              << "  padded\t" << false;
    QTest::newRow("multi-line") << "Multiline Textfield"
                                << "line one\r\nline two\n"
                                << false;
    QTest::newRow("drop-down") << "Dropdown"
                               << " red " << false;
    QTest::newRow("check box") << "Checkbox"
                               << " 1" << false;
    QTest::newRow("text box, page left") << "Textfield"
                                         << "  padded\t" << true;
    QTest::newRow("check box, page left") << "Checkbox"
                                          << " 1" << true;
}

// Shown trimmed, but written back exactly as stored while the user leaves them alone.
void RecordWindowTest::untouchedValuesAreStoredBackExactly() {
    QFETCH(QString, type);
    QFETCH(QString, stored);
    QFETCH(bool, switchPage);
    TestEnvironment env;
    env.addField("X", type, "8", "red,blue");
    env.addField("Code", "Textfield");
    for (int f = 3; f <= 27; ++f)
        env.addField(QString("P%1").arg(f), "Textfield");
    env.addRecords({{stored, "old"}});
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    w->PushButton1_Click();
    if (switchPage) {
        ::switchPage(*w, 1);
        line(*w, 0)->setText("typed on page 2");
    } else {
        line(*w, 1)->setText("new");
    }
    w->PushButton6_Click();
    const QVariantList row = env.query("SELECT X, Code, P27 FROM CustomTable")[0];
    QCOMPARE(row[0].toString(), stored);
    QCOMPARE(row[switchPage ? 2 : 1].toString(), QString(switchPage ? "typed on page 2" : "new"));
    QCOMPARE(messages.texts(), QStringList());
}

// The size boxes back at 0 give the designed sizes again, and one wide caption moves no other.
void RecordWindowTest::sizesAndCaptionsKeepTheirDesignedPlace() {
    TestEnvironment env;
    env.addField("Short", "Textfield");
    env.addField("Notes", "Multiline Textfield");
    env.addField("Name", "Textfield");
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    const auto places = [&] {
        QList<QRect> rects;
        for (int i : {1, 2})
            rects << captionOf(*w, w->mInputControls()[i])->geometry()
                  << w->mInputControls()[i]->geometry();
        return rects;
    };
    const QList<QRect> designed = places();
    const QString wide = "A caption far wider than the room it was given";
    env.execute("UPDATE FieldControl SET fieldname = '" + wide + "' WHERE fieldname = 'Short'");
    env.execute("ALTER TABLE CustomTable RENAME COLUMN Short TO [" + wide + "]");
    w->PushButton4_Click();
    QCOMPARE(places(), designed);
    auto* width = w->findChild<QLineEdit*>("Text3");
    auto* height = w->findChild<QLineEdit*>("Text4");
    width->setText("100");
    height->setText("90");
    w->PushButton4_Click();
    QCOMPARE(w->mInputControls()[1]->height(), 90);
    width->setText("0");
    height->setText("0");
    w->PushButton4_Click();
    QCOMPARE(places(), designed);
    QCOMPARE(messages.texts(), QStringList());
}

QTEST_MAIN(RecordWindowTest)
#include "tst_record.moc"
