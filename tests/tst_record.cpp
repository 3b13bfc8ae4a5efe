#include "app/twips.h"
#include "fields/columnmapping.h"
#include "fields/form2.h"
#include "fields/form4.h"
#include "record/deletedrecords.h"
#include "record/form1.h"
#include "support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

namespace {
QComboBox* combo(Form1& w, int entry) {
    return qobject_cast<QComboBox*>(w.mInputControls()[entry]);
}
QString record(Form1& w) {
    return w.findChild<QLabel*>("lblRecord")->text();
}
QTabWidget* tabs(Form1& w) {
    return w.findChild<QTabWidget*>("SSTab1");
}
QString cell(const TestEnvironment& env, const QString& sql) {
    return env.query(sql)[0][0].toString();
}

// What each input shows: its tick, choice or text.
QStringList shown(Form1& w) {
    QStringList values;
    for (QWidget* input : w.mInputControls())
        for (const char* property : {"checked", "currentText", "plainText", "text"})
            if (input->property(property).isValid()) {
                values << input->property(property).toString();
                break;
            }
    return values;
}
// Whether a text box shows its value from the beginning; other inputs have nothing to scroll.
bool showsItsBeginning(QWidget* input) {
    if (auto* line = qobject_cast<QLineEdit*>(input))
        return line->cursorPosition() == 0;
    auto* text = qobject_cast<QPlainTextEdit*>(input);
    return !text || (text->textCursor().position() == 0 && text->verticalScrollBar()->value() == 0);
}
// Switches page as the user does, by clicking the tab. Nothing may run inside the page's build
// (a click, key or wheel turn there would act on a half-built page): an event posted before it
// must come after it.
void switchPage(Form1& w, int page) {
    bool ranInside = false;
    QTimer::singleShot(0, &w, [&] { ranInside = w.mGenerating(); });
    tabs(w)->setCurrentIndex(page);
    settle(w);
    QVERIFY(!ranInside);
}
// Opens the menu of the menu bar and clicks its command, with the mouse.
void chooseMenu(Form1& w, const QString& menuTitle, const QString& command) {
    auto* bar = w.findChild<QMenuBar*>();
    for (QAction* title : bar->actions())
        if (title->text() == menuTitle) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(title).center());
            QMenu* menu = title->menu();
            QTRY_VERIFY(menu->isVisible());
            for (QAction* action : menu->actions())
                if (action->text() == command)
                    QTest::mouseClick(menu, Qt::LeftButton, {},
                                      menu->actionGeometry(action).center());
        }
}
QStringList rowsShown(DeletedRecords& bin) {
    QStringList rows;
    for (int r = 0; r < bin.list->model()->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < bin.list->model()->columnCount(); ++c)
            row << bin.list->model()->index(r, c).data().toString();
        rows << row.mid(0, 1).join(',') + "," + row.mid(2).join(',');
    }
    return rows;
}
} // namespace

class RecordWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        m_env.emplace();
        m_messages = ScriptedMessages();
    }
    void showsAndStoresEveryFieldKind();
    void navigationStopsAtBothEnds();
    void editingHoldsBackOtherCommands();
    void pageSwitchesKeepRecordAndStoreThePageLeft();
    void inputsBindToTheirOwnFieldsColumn();
    void untouchedValuesAreStoredBackExactly_data();
    void untouchedValuesAreStoredBackExactly();
    void sizesAndCaptionsKeepTheirDesignedPlace();
    void kindsTypedInTheLocaleAreStoredCanonically_data() { storeRows(); }
    void kindsTypedInTheLocaleAreStoredCanonically();
    void deletedRecordsGoToTheBinAndComeBack_data() { storeRows(); }
    void deletedRecordsGoToTheBinAndComeBack();
    void recordChangesAreUndoneAndRedone_data() { storeRows(); }
    void recordChangesAreUndoneAndRedone();
    void fieldChangesAndImportsAreUndoneAndRedone_data() { storeRows(); }
    void fieldChangesAndImportsAreUndoneAndRedone();

  private:
    std::optional<TestEnvironment> m_env; // each test's own sandbox
    ScriptedMessages m_messages;
};

// Also: an unknown type word gives a caption without an input.
void RecordWindowTest::showsAndStoresEveryFieldKind() {
    m_env->addField("Name", "Textfield");
    m_env->addField("Colour", "DROPDOWN", "3", "red,green,,blue");
    m_env->addField("Paid", "checkbox", "1", "YES");
    m_env->addField("Notes", "Multiline Textfield");
    m_env->addField("Mystery", "Slider");
    m_env->addField("Empty", "Dropdown", "1", "x");
    m_env->execute(
        "UPDATE FieldControl SET FieldValues = NULL, FieldLength = NULL WHERE fieldname = 'Empty'");
    m_env->addRecords({{" Ann ", "red", "1", "line one"},
                       {"Bob", QVariant(), "-1", QVariant()},
                       {"Cy", "purple"}});
    auto w = startRecordWindow(m_messages, *m_env);
    QCOMPARE(w->shownCaptions(),
             (QStringList{"Name", "Colour", "Paid", "Notes", "Mystery", "Empty"}));
    QCOMPARE(shown(*w), (QStringList{"Ann", "red", "true", "line one", ""}));
    QCOMPARE(combo(*w, 4)->count(), 0); // Null values and length read as empty
    QVERIFY(!textBox(*w, 0)->isEnabled());
    w->PushButton11_Click();
    QCOMPARE(record(*w), QString("Record 2 of 3"));
    QCOMPARE(shown(*w), (QStringList{"Bob", "", "false", "", ""})); // -1 is not ticked
    QCOMPARE(combo(*w, 1)->currentIndex(), -1);
    // A drop-down keeps a stored value missing from its list, without piling it up.
    w->PushButton11_Click();
    w->PushButton1_Click();
    w->PushButton6_Click();
    QCOMPARE(combo(*w, 1)->currentText(), QString("purple"));
    w->PushButton9_Click();
    QCOMPARE(combo(*w, 1)->count(), 4);
    QCOMPARE(cell(*m_env, "SELECT Colour FROM CustomTable WHERE ID = 3"), QString("purple"));

    w->PushButton10_Click();
    w->PushButton3_Click();
    // Check boxes keep what the previous record showed.
    QCOMPARE(shown(*w), (QStringList{"", "", "true", "", ""}));
    textBox(*w, 0)->setText("  007 ");
    combo(*w, 1)->setCurrentText("green");
    qobject_cast<QCheckBox*>(w->mInputControls()[2])->setChecked(false);
    qobject_cast<QPlainTextEdit*>(w->mInputControls()[3])->setPlainText("a\nb");
    w->PushButton6_Click();
    QCOMPARE(record(*w), QString("Record 4 of 4"));
    const QString stored = "SELECT Name, Colour, Paid, Notes FROM CustomTable WHERE ID = 4";
    QCOMPARE(m_env->query(stored)[0], (QVariantList{"  007 ", "green", "0", "a\nb"}));
    w->PushButton1_Click();
    qobject_cast<QCheckBox*>(w->mInputControls()[2])->setChecked(true);
    w->PushButton6_Click();
    QCOMPARE(m_env->query(stored)[0][2].toString(), QString("1")); // a tick is stored as 1
    QCOMPARE(m_messages.texts(), QStringList());
}

// Also: deleting asks first, with No preselected, then shows the first record.
void RecordWindowTest::navigationStopsAtBothEnds() {
    m_env->addFields({{"Name", "Textfield"}, {"Colour", "Dropdown", "1", "red,blue"}});
    auto w = startRecordWindow(m_messages, *m_env);
    w->PushButton11_Click();
    w->PushButton12_Click();
    QCOMPARE(record(*w), QString("Record 0 of 0"));
    QCOMPARE(combo(*w, 1)->currentIndex(), -1); // no record, no choice shown
    m_env->addRecords({{"one"}, {"two"}, {"three"}});
    w->PushButton4_Click(); // Refresh Fields opens the records afresh, at the first
    w->PushButton9_Click();
    QCOMPARE(w->mIndex(), 1);
    w->PushButton12_Click();
    w->PushButton11_Click();
    QCOMPARE(textBox(*w, 0)->text(), QString("three"));
    w->PushButton9_Click();
    QCOMPARE(record(*w), QString("Record 2 of 3"));
    w->PushButton10_Click();
    QCOMPARE(textBox(*w, 0)->text(), QString("one"));

    w->PushButton12_Click();
    m_messages.answer(Answer::No);
    w->PushButton2_Click();
    QCOMPARE(m_messages.texts(),
             QStringList{"Do you really want to delete this record number three?"});
    QVERIFY(m_messages.shown[0].secondButtonDefault && m_messages.shown[0].title == "Question");
    m_messages.answer(Answer::Yes);
    w->PushButton2_Click();
    QCOMPARE(m_env->query("SELECT Name FROM CustomTable"), (QList<QVariantList>{{"one"}, {"two"}}));
    QCOMPARE(record(*w) + textBox(*w, 0)->text(), QString("Record 1 of 2one"));
}

// The keys reach the commands as the buttons do; while a record is edited only Save and Cancel
// act, the others are refused with a word or do nothing.
void RecordWindowTest::editingHoldsBackOtherCommands() {
    m_env->addField("Name", "Textfield");
    m_env->addRecords({{"one"}, {"two"}});
    auto w = startRecordWindow(m_messages, *m_env);
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_PageDown);
    QCOMPARE(w->mIndex(), 2);
    QTest::keyClick(w.get(), Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(w.get(), Qt::Key_F2);
    QVERIFY(w->mEditing());
    QTest::keyClick(w.get(), Qt::Key_F5);
    QFocusEvent leaveSizeBox(QEvent::FocusOut, Qt::TabFocusReason);
    w->findChild<QLineEdit*>("Text3")->setText("100");
    w->findChild<QLineEdit*>("Text4")->setText("30");
    QCoreApplication::sendEvent(w->findChild<QLineEdit*>("Text4"), &leaveSizeBox);
    settle(*w);
    for (auto command :
         {&Form1::PushButton4_Click, &Form1::PushButton13_Click, &Form1::PushButton7_Click,
          &Form1::PushButton5_Click, &Form1::PushButton11_Click, &Form1::PushButton2_Click,
          &Form1::PushButton3_Click})
        (w.get()->*command)();
    QCOMPARE(m_messages.texts(), QStringList(6, "Please save or cancel current record first."));
    QVERIFY(w->mIndex() == 1 && w->mEditing() && !w->mNewRecord());
    QTest::keyClicks(QApplication::focusWidget(), "the "); // at the beginning shown
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!w->mEditing());
    QCOMPARE(cell(*m_env, "SELECT Name FROM CustomTable WHERE ID = 1"), QString("the one"));
    QTest::keyClick(w.get(), Qt::Key_F2);
    QTest::keyClicks(QApplication::focusWidget(), "xyz");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!w->mEditing());
    QCOMPARE(textBox(*w, 0)->text(), QString("the one"));
}

// Also: Cancel restores the stored values, and removes a new record stored when a page was left.
void RecordWindowTest::pageSwitchesKeepRecordAndStoreThePageLeft() {
    m_env->addFields(27);
    m_env->addRecords({{"r1f1"}, {"r2f1"}, {"r3f1"}});
    m_env->execute("UPDATE CustomTable SET F26 = 'f26 of ' || ID, F27 = 'f27 of ' || ID");
    auto w = startRecordWindow(m_messages, *m_env);
    w->PushButton11_Click();
    switchPage(*w, 1);
    QCOMPARE(textBox(*w, 0)->text(), QString("f27 of 2"));
    QVERIFY(!w->findChild<QLabel*>("lblRecord")->isVisible());
    switchPage(*w, 0);
    QCOMPARE(textBox(*w, 25)->text(), QString("f26 of 2"));
    QVERIFY(w->findChild<QLabel*>("lblRecord")->isVisible());
    // A rebuild that is not a page switch goes back to the first record.
    w->PushButton4_Click();
    QCOMPARE(textBox(*w, 0)->text(), QString("r1f1"));

    w->PushButton1_Click();
    textBox(*w, 0)->setText("typed on page 1");
    switchPage(*w, 1);
    QCOMPARE(cell(*m_env, "SELECT F1 FROM CustomTable WHERE ID = 1"), QString("typed on page 1"));
    QVERIFY(textBox(*w, 0)->isEnabled());
    textBox(*w, 0)->setText("page 2");
    w->PushButton6_Click();
    QCOMPARE(cell(*m_env, "SELECT F27 FROM CustomTable WHERE ID = 1"), QString("page 2"));

    // A value the engine refuses keeps the user on the page, editing, with the text typed.
    m_env->execute("CREATE TRIGGER refuse BEFORE UPDATE ON CustomTable "
                   "WHEN NEW.F27 = 'bad' BEGIN SELECT RAISE(ABORT, 'refused'); END");
    w->PushButton1_Click();
    textBox(*w, 0)->setText("bad");
    switchPage(*w, 0);
    QCOMPARE(tabs(*w)->currentIndex(), 1);
    QVERIFY(m_messages.shown.size() == 1 && m_messages.shown[0].text.startsWith("refused"));
    QVERIFY(w->mEditing() && textBox(*w, 0)->isEnabled() && textBox(*w, 0)->text() == "bad");
    w->PushButton8_Click();
    QCOMPARE(textBox(*w, 0)->text(), QString("page 2"));
    QVERIFY(!w->mEditing() && !textBox(*w, 0)->isEnabled());

    w->PushButton3_Click();
    textBox(*w, 0)->setText("draft");
    switchPage(*w, 0);
    QCOMPARE(cell(*m_env, "SELECT count(*) FROM CustomTable"), QString("4"));
    QVERIFY(w->mEditing() && textBox(*w, 0)->isEnabled());
    w->PushButton8_Click();
    QCOMPARE(cell(*m_env, "SELECT count(*) FROM CustomTable"), QString("3"));
    QVERIFY(!w->mEditing() && w->mIndex() == 1);
    QCOMPARE(cell(*m_env, "SELECT F27 FROM CustomTable WHERE ID = 1"), QString("page 2"));
    w->generateControls(5); // a page beyond the last shows the last
    QCOMPARE(tabs(*w)->currentIndex(), 1);
}

// A field without an input (an unknown or Null type word) or without a column shifts no other
// field: each input shows and saves its own field's column.
void RecordWindowTest::inputsBindToTheirOwnFieldsColumn() {
    m_env->addFields({{"A", "Textfield"}, {"B", "Memo"}, {"N", "Textfield"}});
    m_env->execute("UPDATE FieldControl SET FieldType = NULL WHERE fieldname = 'N'");
    m_env->execute("INSERT INTO FieldControl VALUES ('M', 'Textfield', '8', '')"); // no column
    m_env->addFields({{"C", "Textfield"}, {"D", "Dropdown", "2", "x,y"}});
    m_env->addRecords({{"a", "b", "n", "c", "y"}});
    auto w = startRecordWindow(m_messages, *m_env);
    QStringList shown;
    for (int i = 0; i < w->mInputControls().size(); ++i)
        shown << w->mInputControls()[i]->accessibleName() + '=' +
                     (textBox(*w, i) ? textBox(*w, i)->text() : combo(*w, i)->currentText());
    QVERIFY2(shown == (QStringList{"A=a", "C=c", "D=y"}), qPrintable(shown.join('|')));
    w->PushButton1_Click();
    textBox(*w, 1)->setText("c2");
    w->PushButton6_Click();
    QCOMPARE(m_env->query("SELECT * FROM CustomTable")[0],
             (QVariantList{"1", "a", "b", "n", "c2", "y"}));

    Form4 fieldList(m_messages, m_env->paths(), m_env->store(), *w);
    fieldList.ListView1->setCurrentItem(fieldList.ListView1->topLevelItem(3));
    fieldList.PushButton3->click();
    QCOMPARE(cell(*m_env, "SELECT count(*) FROM FieldControl WHERE fieldname = 'M'"), QString("0"));
    QCOMPARE(m_env->columnsOf("CustomTable"), (QStringList{"ID", "A", "B", "N", "C", "D"}));
    QCOMPARE(m_messages.texts(), QStringList());
}

void RecordWindowTest::untouchedValuesAreStoredBackExactly_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("switchPage");
    const QString longText = "  padded" + QString(", and long").repeated(40) + "\t";
    QTest::newRow("text box") << QString("Textfield") << longText << false;
    QTest::newRow("multi-line") << QString("Multiline Textfield")
                                << "line one\r\n" + QString("line two\n").repeated(40) << false;
    QTest::newRow("drop-down") << QString("Dropdown") << " red " << false;
    QTest::newRow("check box") << QString("Checkbox") << " 1" << false;
    QTest::newRow("text box, page left") << QString("Textfield") << longText << true;
    QTest::newRow("check box, page left") << QString("Checkbox") << " 1" << true;
    QTest::newRow("number, not canonical") << QString("number") << " 1.50 " << false;
    QTest::newRow("date, as imported") << QString("Date") << "1948-12-08 00:00:00" << false;
}

// Shown trimmed and from their beginning, but written back exactly as stored while the user
// leaves them alone.
void RecordWindowTest::untouchedValuesAreStoredBackExactly() {
    QFETCH(QString, type);
    QFETCH(QString, stored);
    QFETCH(bool, switchPage);
    m_env->addFields({{"X", type, "8", "red,blue"}, {"Code", "Textfield"}});
    m_env->addFields(25);
    m_env->addRecords({{stored, "old"}});
    auto w = startRecordWindow(m_messages, *m_env);
    QWidget* x = w->mInputControls()[0];
    QApplication::setActiveWindow(w.get()); // Edit gives x the focus
    QVERIFY(QTest::qWaitForWindowActive(w.get()) && showsItsBeginning(x));
    w->PushButton1_Click();
    QVERIFY(QApplication::focusWidget() == x && showsItsBeginning(x));
    if (switchPage)
        ::switchPage(*w, 1);
    const QString typed = switchPage ? "typed on page 2" : "new";
    textBox(*w, switchPage ? 0 : 1)->setText(typed);
    w->PushButton6_Click();
    QVERIFY(switchPage || showsItsBeginning(x)); // shown again after Save
    const QVariantList row = m_env->query("SELECT X, Code, F25 FROM CustomTable")[0];
    QCOMPARE(row[0].toString(), stored);
    QCOMPARE(row[switchPage ? 2 : 1].toString(), typed);
    QCOMPARE(m_messages.texts(), QStringList());
}

// Shown and typed in the user's locale, stored canonically; a value that is none of its kind or
// breaks a check, also one on another page, is refused naming the field, keeps the input with the
// focus, and writes nothing.
void RecordWindowTest::kindsTypedInTheLocaleAreStoredCanonically() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    env.addFields({{"Amount", "Number"}, {"Price", "CURRENCY"}, {"Born", "date"}});
    env.addFields(23);
    env.addField("Limit", "Number"); // on page 2
    env.addRecords({{"-1234.5", "3.10", "1948-12-08T13:05:00"}});
    auto w = startRecordWindow(m_messages, env);
    QCOMPARE(shown(*w).mid(0, 3), (QStringList{"-1234,5", "3,10", "08.12.1948 13:05:00"}));
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->PushButton3_Click();
    textBox(*w, 0)->setText("1.234,5");
    textBox(*w, 1)->setText("12");
    auto* born = textBox(*w, 2);
    born->findChild<QAction*>("chooseDate")->trigger();
    auto* calendar = born->findChild<QCalendarWidget*>("calendar");
    QVERIFY(calendar && calendar->isVisible());
    emit calendar->clicked(QDate(1900, 2, 28));
    QCOMPARE(born->text(), QString("28.02.1900"));
    born->setText(born->text() + " 7:30");
    w->PushButton6_Click();
    QCOMPARE(
        env.query("SELECT \"Amount\", \"Price\", \"Born\" FROM \"CustomTable\" WHERE \"ID\" = 2"),
        (QList<QVariantList>{{"1234.5", "12.00", "1900-02-28T07:30:00"}}));
    QCOMPARE(m_messages.texts(), QStringList());

    w->PushButton1_Click();
    textBox(*w, 1)->setText("1e400");
    w->PushButton6_Click();
    VERIFY_SAID_ONCE(m_messages, "\"Price\" is not a number");
    QVERIFY(textBox(*w, 1)->isEnabled()); // still editing
    QCOMPARE(QApplication::focusWidget(), textBox(*w, 1));
    QCOMPARE(textBox(*w, 1)->text(), QString("1e400"));
    QCOMPARE(cell(env, "SELECT \"Price\" FROM \"CustomTable\" WHERE \"ID\" = 2"), QString("12.00"));

    // A value of page 2, empty in a new record, stored in another: its page is shown, with the
    // values typed kept set in the record.
    press(*w, "PushButton8");
    env.execute(
        "CREATE TABLE \"FieldChecks\" (\"fieldname\" TEXT, \"Required\" INTEGER, \"Minimum\" "
        "TEXT, \"Maximum\" TEXT, \"Decimals\" INTEGER); INSERT INTO \"FieldChecks\" VALUES "
        "('Amount', 0, NULL, '100', NULL), ('Limit', 1, NULL, '100', NULL)");
    press(*w, "PushButton4");
    m_messages.clear();
    press(*w, "PushButton3");
    textBox(*w, 0)->setText("1,234");
    press(*w, "PushButton6");
    VERIFY_SAID_ONCE(m_messages, "The field \"Limit\" on page 2 must be given.");
    QCOMPARE(QApplication::focusWidget()->accessibleName(), QString("Limit"));
    QCOMPARE(cell(env, "SELECT count(*) FROM \"CustomTable\""), QString("2"));
    QTest::keyClicks(textBox(*w, 0), "99");
    press(*w, "PushButton6");
    QCOMPARE(env.query("SELECT \"Amount\", \"Limit\" FROM \"CustomTable\" WHERE \"ID\" = 3"),
             (QList<QVariantList>{{"1.234", "99"}}));
    press(*w, "PushButton10");
    switchPage(*w, 0);
    press(*w, "PushButton1");
    m_messages.clear();
    press(*w, "PushButton6");
    VERIFY_SAID_ONCE(m_messages, "The field \"Limit\" on page 2 must be given.");
    QLocale::setDefault(QLocale::c());
}

// Inputs grow with their field's length factor; the size boxes size text boxes, not drop-downs,
// and back at 0 give the designed sizes again; one wide caption moves no other.
void RecordWindowTest::sizesAndCaptionsKeepTheirDesignedPlace() {
    m_env->addField("Short", "Textfield", "1");
    m_env->addField("Notes", "Multiline Textfield", "1");
    m_env->addField("Name", "Textfield", "3");
    m_env->addField("Half", "Textfield", "2.5");
    m_env->addField("Colour", "Dropdown", "2", "x");
    for (const char* length : {"0", "", "abc"})
        m_env->addField(QString("Odd") + length, "Textfield", length);
    auto w = startRecordWindow(m_messages, *m_env);
    QList<double> factors;
    for (QWidget* input : w->mInputControls())
        factors << double(Twips::geometry(input).width()) / Twips::geometry(textBox(*w, 0)).width();
    QCOMPARE(factors, (QList<double>{1, 1, 3, 2.5, 2, 1, 1, 1}));
    const auto places = [&] {
        QList<QRect> rects;
        for (QLabel* label : w->findChildren<QLabel*>())
            if (label->buddy() && label->buddy() != textBox(*w, 0))
                rects << label->geometry() << label->buddy()->geometry();
        return rects;
    };
    const QList<QRect> designed = places();
    const QString wide = "A caption far wider than the room it was given";
    m_env->execute("UPDATE FieldControl SET fieldname = '" + wide + "' WHERE fieldname = 'Short'");
    m_env->execute("ALTER TABLE CustomTable RENAME COLUMN Short TO [" + wide + "]");
    w->PushButton4_Click();
    QCOMPARE(places(), designed);
    const int colourWidth = combo(*w, 4)->width();
    w->findChild<QLineEdit*>("Text3")->setText("100");
    w->findChild<QLineEdit*>("Text4")->setText("90");
    w->PushButton4_Click();
    QCOMPARE(w->mInputControls()[1]->size(), QSize(100, 90));
    QCOMPARE(textBox(*w, 2)->size(), QSize(100, 90));
    QCOMPARE(combo(*w, 4)->width(), colourWidth);
    w->findChild<QLineEdit*>("Text3")->setText("0");
    w->findChild<QLineEdit*>("Text4")->setText("0");
    w->PushButton4_Click();
    QCOMPARE(places(), designed);
    QCOMPARE(m_messages.texts(), QStringList());
}

// A delete keeps the record in the bin, which an older store gets with its first delete; the
// bin's window lists it and restores it exactly, under a new id when its own was taken.
void RecordWindowTest::deletedRecordsGoToTheBinAndComeBack() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    env.addFields(2);
    env.addRecords({{"Ann", ""}, {"Bob", QVariant()}, {"Cy", "x"}});
    auto w = startRecordWindow(m_messages, env);
    press(*w, "PushButton11");
    m_messages.answer(Answer::Yes);
    m_messages.answer(Answer::Yes);
    press(*w, "PushButton2"); // Bob, then Ann
    press(*w, "PushButton2");
    m_messages.clear();
    QCOMPARE(env.query("SELECT \"ID\" FROM \"DeletedRecords\" ORDER BY \"BinKey\""),
             (QList<QVariantList>{{"2"}, {"1"}}));
    press(*w, "PushButton1");
    chooseMenu(*w, "Records", "Deleted Records...");
    VERIFY_SAID_ONCE(m_messages, "Please save or cancel current record first.");
    m_messages.clear();
    press(*w, "PushButton8");
    env.execute("INSERT INTO \"CustomTable\" (\"ID\", \"F1\") VALUES (2, 'taken')");
    QStringList listed;
    whenShown<DeletedRecords>([&](DeletedRecords& bin) {
        listed = rowsShown(bin);
        bin.list->selectAll();
        QTest::mouseClick(bin.restoreButton, Qt::LeftButton);
        listed << rowsShown(bin);
        QTest::mouseClick(bin.closeButton, Qt::LeftButton);
    });
    chooseMenu(*w, "Records", "Deleted Records...");
    QCOMPARE(listed, (QStringList{"1,Ann,", "2,Bob,"}));
    VERIFY_SAID_ONCE(m_messages, "record 2 as record 4");
    QCOMPARE(env.query("SELECT * FROM \"CustomTable\" ORDER BY \"ID\""),
             (QList<QVariantList>{{"1", "Ann", ""},
                                  {"2", "taken", QVariant()},
                                  {"3", "Cy", "x"},
                                  {"4", "Bob", QVariant()}}));
    QCOMPARE(record(*w) + textBox(*w, 0)->text(), QString("Record 1 of 4Ann"));

    // Emptied only after Yes to a question with No preselected.
    m_messages.answer(Answer::Yes);
    press(*w, "PushButton2");
    m_messages.clear();
    for (const Answer answer : {Answer::No, Answer::Yes}) {
        m_messages.answer(answer);
        whenShown<DeletedRecords>([&](DeletedRecords& bin) {
            QTest::mouseClick(bin.emptyButton, Qt::LeftButton);
            bin.reject();
        });
        chooseMenu(*w, "Records", "Deleted Records...");
        QCOMPARE(env.query("SELECT count(*) FROM \"DeletedRecords\"")[0][0].toString(),
                 QString(answer == Answer::No ? "1" : "0"));
    }
    QVERIFY(m_messages.shown.size() == 2 && m_messages.shown[0].secondButtonDefault);
}

// Saves, a new record and deletes are taken back in order and made again, with the keys or the
// Edit menu naming them; a change another program overtook is refused and nothing moves. While
// a record is edited Ctrl+Z is the input's own.
void RecordWindowTest::recordChangesAreUndoneAndRedone() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    env.addFields(2);
    env.addRecords({{"Ann", ""}, {"Bob", QVariant()}});
    auto w = startRecordWindow(m_messages, env);
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    const auto stored = [&] { return env.query("SELECT * FROM \"CustomTable\" ORDER BY \"ID\""); };
    const auto key = [&](QKeyCombination combination) {
        QTest::keyClick(QApplication::focusWidget(), combination.key(),
                        combination.keyboardModifiers());
        settle(*w);
    };
    auto* undo = w->findChild<QAction*>("actionUndo");
    const QList<QVariantList> original = stored();
    press(*w, "PushButton1");
    textBox(*w, 0)->setText("Anna");
    press(*w, "PushButton6");
    press(*w, "PushButton3");
    textBox(*w, 0)->setText("Cy");
    press(*w, "PushButton6");
    press(*w, "PushButton10");
    press(*w, "PushButton11");
    m_messages.answer(Answer::Yes);
    press(*w, "PushButton2");
    QCOMPARE(undo->text(), QString("Undo Delete Record 2"));
    const QList<QVariantList> changed = stored();
    for (int i = 0; i < 3; ++i)
        key(Qt::CTRL | Qt::Key_Z);
    QCOMPARE(stored(), original);
    QCOMPARE(textBox(*w, 0)->text(), QString("Ann"));
    for (QKeyCombination redo :
         {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z})
        key(redo);
    QCOMPARE(stored(), changed);

    // Refused while the deleted record's id is taken, and once the record holds other values.
    m_messages.clear();
    env.execute("INSERT INTO \"CustomTable\" (\"ID\", \"F1\") VALUES (2, 'taken')");
    key(Qt::CTRL | Qt::Key_Z);
    VERIFY_SAID_ONCE(m_messages, "Record 2 cannot come back");
    env.execute("DELETE FROM \"CustomTable\" WHERE \"ID\" = 2");
    key(Qt::CTRL | Qt::Key_Z);
    QCOMPARE(textBox(*w, 0)->text(), QString("Bob"));
    key(Qt::CTRL | Qt::Key_Z);
    env.execute("UPDATE \"CustomTable\" SET \"F1\" = 'other' WHERE \"ID\" = 1");
    const QList<QVariantList> overtaken = stored();
    m_messages.clear();
    key(Qt::CTRL | Qt::Key_Z);
    VERIFY_SAID_ONCE(m_messages, "Record 1 was changed by another program");
    QCOMPARE(stored(), overtaken);
    QCOMPARE(undo->text(), QString("Undo Save Record 1"));

    m_messages.clear();
    press(*w, "PushButton1");
    QTest::keyClicks(textBox(*w, 0), "typed");
    key(Qt::CTRL | Qt::Key_Z);
    QVERIFY(w->mEditing() && m_messages.shown.isEmpty() && textBox(*w, 0)->text() == "Anna");
    chooseMenu(*w, "Edit", "Undo Save Record 1");
    VERIFY_SAID_ONCE(m_messages, "Please save or cancel current record first.");
    QCOMPARE(stored(), overtaken);
}

// A kind change, a field delete (its values, place and checks), an add and an import, made in the
// field windows, are taken back in order from the record window's Edit menu and made again;
// refused while another program changed the field or took its name.
void RecordWindowTest::fieldChangesAndImportsAreUndoneAndRedone() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    env.addFields(3);
    env.addRecords({{" 12 ", "b", "c"}, {"12.50", "", QVariant()}, {QVariant(), QVariant(), "z"}});
    env.execute("CREATE TABLE \"FieldChecks\" (\"fieldname\" TEXT PRIMARY KEY, \"Required\" "
                "INTEGER NOT NULL DEFAULT 0, \"Minimum\" TEXT, \"Maximum\" TEXT, \"Decimals\" "
                "INTEGER)");
    env.execute("INSERT INTO \"FieldChecks\" VALUES ('F2', 1, NULL, NULL, NULL)");
    const QString csv = writeFile(env.programFolder() + "/in.csv", "F3,Town\nx,Rome\n,Oslo\n");
    const auto state = [&] {
        QList<QVariantList> rows = env.query(
            FieldRows + (env.onServer() ? " ORDER BY \"FieldOrder\"" : " ORDER BY rowid"));
        QStringList columns{"\"ID\""};
        for (const QVariantList& row : rows)
            columns << "\"" + row[0].toString() + "\"";
        return rows +
               env.query("SELECT " + columns.join(',') + " FROM \"CustomTable\" ORDER BY 1") +
               env.query("SELECT * FROM \"FieldChecks\" ORDER BY 1");
    };
    const QList<QVariantList> original = state();
    auto w = startRecordWindow(m_messages, env);
    whenShown<Form4>([&](Form4& list) {
        whenShown<Form2>([](Form2& editor) {
            editor.setFieldTypeText("Number");
            editor.PushButton2_Click();
        });
        list.ListView1->setCurrentItem(list.ListView1->topLevelItem(0));
        list.PushButton5_Click();
        list.ListView1->setCurrentItem(list.ListView1->topLevelItem(1));
        list.PushButton3_Click();
        whenShown<Form2>([](Form2& editor) {
            editor.Text1->setText("City");
            editor.PushButton2_Click();
        });
        list.PushButton2_Click();
        whenShown<ColumnMappingDialog>([](ColumnMappingDialog& mapping) {
            QTest::mouseClick(mapping.buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        list.importFrom(csv);
        list.close();
    });
    press(*w, "PushButton13");
    settle(*w);
    const QList<QVariantList> changed = state();
    auto* undo = w->findChild<QAction*>("actionUndo");
    QCOMPARE(undo->text(), QString("Undo Import 2 Records"));
    for (const char* what : {"Import 2 Records", "Add Field City", "Delete Field F2"})
        chooseMenu(*w, "Edit", QString("Undo ") + what);
    QCOMPARE(w->mInputControls().size(), 3);
    chooseMenu(*w, "Edit", "Undo Change Field F1");
    QCOMPARE(state(), original);
    for (int i = 0; i < 4; ++i)
        w->redoClicked();
    QCOMPARE(state(), changed);
    // A record of the import gone since (its id changed by another program): nothing moves.
    const qint64 last = env.query("SELECT max(\"ID\") FROM \"CustomTable\"")[0][0].toLongLong();
    env.execute(QString("UPDATE \"CustomTable\" SET \"ID\" = 999 WHERE \"ID\" = %1").arg(last));
    const QList<QVariantList> gone = state();
    m_messages.clear();
    w->undoClicked();
    VERIFY_SAID_ONCE(m_messages,
                     QString("Record %1 of the import was deleted by another program").arg(last));
    QCOMPARE(state(), gone);
    env.execute(QString("UPDATE \"CustomTable\" SET \"ID\" = %1 WHERE \"ID\" = 999").arg(last));

    w->undoClicked();
    const QList<QVariantList> imported = state();
    env.execute("UPDATE \"FieldControl\" SET \"FieldLength\" = '9' WHERE \"fieldname\" = 'City'");
    m_messages.clear();
    w->undoClicked();
    VERIFY_SAID_ONCE(m_messages, "The field 'City' was changed by another program since.");
    env.execute("UPDATE \"FieldControl\" SET \"FieldLength\" = '8' WHERE \"fieldname\" = 'City'");
    QCOMPARE(state(), imported);
    w->undoClicked();
    env.execute("ALTER TABLE \"CustomTable\" ADD COLUMN \"f2\" TEXT");
    const QList<QVariantList> taken = state();
    m_messages.clear();
    w->undoClicked();
    VERIFY_SAID_ONCE(m_messages, "The field 'F2' cannot come back");
    QCOMPARE(state(), taken);
    QCOMPARE(undo->text(), QString("Undo Delete Field F2"));
    env.execute("ALTER TABLE \"CustomTable\" DROP COLUMN \"f2\"");
    w->undoClicked();
    env.execute("UPDATE \"CustomTable\" SET \"F1\" = '13' WHERE \"ID\" = 1");
    const QList<QVariantList> overtaken = state();
    m_messages.clear();
    w->undoClicked();
    VERIFY_SAID_ONCE(m_messages, "Values of the field 'F1' were changed by another program");
    QCOMPARE(state(), overtaken);
    w->close(); // what was kept for the list's next steps goes with it
    QCOMPARE(env.query("SELECT (SELECT count(*) FROM \"KeptFields\") + (SELECT count(*) FROM "
                       "\"KeptFieldValues\")"),
             (QList<QVariantList>{{0}}));
}

QTEST_MAIN(RecordWindowTest)
#include "tst_record.moc"
