#include "fields/form2.h"
#include "fields/form4.h"
#include "record/form1.h"
#include "store/connection.h"
#include "store/fieldrules.h"
#include "store/sqlitebackup.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace {
// The field list over a record window that only notes what the list asks of it.
struct FieldList {
    explicit FieldList(const TestEnvironment& env)
        : list(messages, env.paths(), env.store(), record) {
        list.show();
    }
    ScriptedMessages messages;
    StubRecordWindow record;
    Form4 list;
};

// The user picks a type with the keyboard, which is how the type reaction gets its "click".
// No type at all can only be set.
void chooseType(Form2& editor, const QString& type) {
    if (type.isEmpty())
        return editor.setFieldTypeText(type);
    QTest::keyClick(editor.cboFieldType, Qt::Key_Home);
    for (int i = editor.cboFieldType->findText(type); i > 0; --i)
        QTest::keyClick(editor.cboFieldType, Qt::Key_Down);
}

// Creates a field through "Create New Field" and the editor. When the editor refuses it and
// stays open, cancels it and returns the caption's selected text.
std::optional<QString> createField(FieldList& f, const QString& caption, const QString& type,
                                   const QStringList& values = {}, int selected = -1) {
    std::optional<QString> refused;
    whenShown<Form2>([&](Form2& editor) {
        editor.Text1->setText(caption);
        chooseType(editor, type);
        for (const QString& value : values) {
            f.messages.answerInput(value);
            editor.PushButton1->click();
        }
        editor.cboFieldValues->setCurrentIndex(selected);
        editor.PushButton2->click();
        if (editor.isVisible() && editor.Text1->text() == caption) {
            refused = editor.Text1->selectedText();
            editor.PushButton3->click();
        }
    });
    f.list.PushButton2->click();
    return refused;
}

QStringList listed(const QTreeWidget& list, int column = 0) {
    QStringList texts;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        texts << list.topLevelItem(i)->text(column);
    return texts;
}

QStringList fieldRows(const TestEnvironment& env) {
    QStringList rows;
    for (const QVariantList& row : env.query(FieldRows))
        rows << QVariant(row).toStringList().join('|');
    return rows;
}
} // namespace

class FieldSetupTest : public QObject {
    Q_OBJECT
  private slots:
    void fieldsAddedAndDeletedKeepTablesPaired();
    void checksAreKeptApartAndRefuseValues_data() { storeRows(); }
    void checksAreKeptApartAndRefuseValues();
    void kindChangesConvertEveryValueOrNone_data() { storeRows(); }
    void kindChangesConvertEveryValueOrNone();
    void refusedCaptionsKeepEditorOpenAndChangeNothing_data();
    void refusedCaptionsKeepEditorOpenAndChangeNothing();
    void editorValueListAndNumericCaption();
    void updateChangesDefinitionOnly();
    void failedStatementLeavesTablesAsTheyWere_data() { storeRows(); }
    void failedStatementLeavesTablesAsTheyWere();
    void deleteGoesAheadOnlyWithItsOwnCopy_data();
    void deleteGoesAheadOnlyWithItsOwnCopy();
};

void FieldSetupTest::fieldsAddedAndDeletedKeepTablesPaired() {
    TestEnvironment env;
    env.createDataFile();
    FieldList f(env);
    QTreeWidget& list = *f.list.ListView1;
    f.list.PushButton3->click(); // nothing to delete, nothing asked
    whenShown<Form2>([](Form2& editor) {
        editor.Text1->setText("Notes");
        editor.close(); // the close box writes nothing
    });
    f.list.PushButton2->click();
    QCOMPARE(fieldRows(env), QStringList());

    createField(f, "  O'Brien  ", "Textfield");
    createField(f, "B", "Dropdown", {"Red", "Green", "Blue"}, 1);
    createField(f, "a]b", "Checkbox");
    QCOMPARE(fieldRows(env), QStringList({"O'Brien|Textfield|8|", "B|Dropdown|8|Red,[Green],Blue",
                                          "a]b|Checkbox|8|Yes,No"}));
    QCOMPARE(listed(list, 3), QStringList({"", "Red,[Green],Blue", "Yes,No"}));
    env.addRecords({{"a1", "b1", "c1"}, {"a2", QVariant(), "c2"}});
    list.setCurrentItem(list.topLevelItem(1));
    f.list.PushButton3->click();
    QCOMPARE(env.query("select * from CustomTable"),
             QList<QVariantList>({{"1", "a1", "c1"}, {"2", "a2", "c2"}}));
    QCOMPARE(listed(list), QStringList({"O'Brien", "a]b"}));
    QCOMPARE(list.selectedItems().value(0), list.topLevelItem(0));
    createField(f, "Price [EUR]", "Multiline Textfield");
    QCOMPARE(env.columnsOf("CustomTable"), QStringList({"ID", "O'Brien", "a]b", "Price [EUR]"}));
    QCOMPARE(f.messages.texts(), QStringList());
    f.list.PushButton1->click();
    QVERIFY(f.list.fieldsChanged() && !f.list.connectionOpen());
    QCOMPARE(f.record.clears, 1);
}

void FieldSetupTest::refusedCaptionsKeepEditorOpenAndChangeNothing_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("message");
    const QString text = "Textfield";
    QTest::newRow("blank") << "   " << text << "You forgot to input field caption.";
    QTest::newRow("no type") << "Size" << QString() << "You forgot to select field type.";
    QTest::newRow("the key column") << " Id " << text << "Cannot add this field.";
    QTest::newRow("taken, any case") << "price" << QString("Checkbox") << "Field already exists";
}

void FieldSetupTest::refusedCaptionsKeepEditorOpenAndChangeNothing() {
    QFETCH(QString, caption);
    QFETCH(QString, type);
    QFETCH(QString, message);
    TestEnvironment env;
    env.addField("Price", "Textfield");
    FieldList f(env);
    const std::optional<QString> selected = createField(f, caption, type);
    QVERIFY(selected);
    QCOMPARE(f.messages.texts(), QStringList{message});
    QCOMPARE(f.messages.shown[0].title, QString());
    if (message == "Field already exists")
        QCOMPARE(*selected, caption);
    QCOMPARE(fieldRows(env), QStringList{"Price|Textfield|8|"});
    QCOMPARE(env.columnsOf("CustomTable"), QStringList({"ID", "Price"}));
    QVERIFY(!f.list.fieldsChanged());
}

void FieldSetupTest::editorValueListAndNumericCaption() {
    TestEnvironment env;
    env.createDataFile();
    ScriptedMessages messages;
    Form2 editor(messages, env.paths(), env.store());
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    chooseType(editor, "Dropdown");
    QCOMPARE(editor.cboFieldValues->count(), 0);
    for (const char* value : {"Red", "   ", "Smith, John", ""}) { // "" stands for Cancel
        messages.answerInput(*value ? std::optional<QString>(value) : std::nullopt);
        editor.PushButton1->click();
    }
    QCOMPARE(editor.cboFieldValues->count(), 2); // blank and cancelled answers add nothing
    editor.cboFieldValues->setCurrentIndex(0);
    messages.answer(Answer::No);
    editor.PushButton5->click();
    QCOMPARE(messages.texts(), QStringList{"Do you really want to delete value Red?"});
    QVERIFY(messages.shown[0].secondButtonDefault);
    messages.answer(Answer::Yes);
    editor.PushButton5->click();
    QCOMPARE(editor.cboFieldValues->itemText(0), QString("Smith, John"));
    editor.PushButton4->click();
    QCOMPARE(editor.cboFieldValues->count(), 0);
    chooseType(editor, "Multiline Textfield");
    QVERIFY(!editor.cboFieldValues->isEnabled());

    // A caption that is a number gets an underscore when the box is left.
    editor.Text1->setFocus();
    QTest::keyClicks(editor.Text1, "3.5");
    QTest::keyClick(editor.Text1, Qt::Key_Tab);
    QCOMPARE(editor.Text1->text(), QString("3.5_"));
    editor.PushButton2->click();
    QCOMPARE(fieldRows(env), QStringList{"3.5_|Multiline Textfield|8|"});
    QCOMPARE(env.columnsOf("CustomTable"), QStringList({"ID", "3.5_"}));
    QVERIFY(!editor.isVisible() && !editor.connectionOpen());
}

// Checks are set in the field editor and kept in a table of their own, made with the first one,
// so a field's row keeps its four columns; Save refuses a value against them, naming the field.
void FieldSetupTest::checksAreKeptApartAndRefuseValues() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    env.addFields({{"Price", "Currency"}, {"Name", "Textfield"}});
    env.addRecords({{"5.00", "Ann"}});
    ScriptedMessages messages;
    const auto edit = [&](const QString& name, const QString& type,
                          const std::function<void(Form2&)>& fill) {
        Form2 editor(messages, env.paths(), env.store(), FieldDefinition{name, type, "8", ""});
        fill(editor);
        editor.PushButton2_Click();
        return editor.result() == QDialog::Accepted;
    };
    const QStringList rowsBefore = fieldRows(env);
    const QList<std::tuple<QString, QString, QString, QString>> refused = {
        {"abc", "", "", "The minimum is not a number."},
        {"10", "1,5", "", "The minimum is above the maximum."},
        {"", "", "3", "from 0 to 2."},
        {"", "4", "",
         "1 of its values would break them (record 1: \"5.00\" is above its maximum, 4,00)"}};
    for (const auto& [minimum, maximum, decimals, said] : refused) {
        messages.clear();
        QVERIFY(!edit("Price", "Currency", [&](Form2& e) {
            e.txtMinimum->setText(minimum);
            e.txtMaximum->setText(maximum);
            e.txtDecimals->setText(decimals);
        }));
        VERIFY_SAID_ONCE(messages, said);
        QCOMPARE(env.columnsOf("FieldChecks"), QStringList()); // nothing made yet
    }
    QVERIFY(edit("Price", "Currency", [](Form2& e) {
        e.chkRequired->setChecked(true);
        e.txtMinimum->setText("1");
        e.txtMaximum->setText("1.000");
    }));
    QVERIFY(edit("Name", "Textfield", [](Form2& e) { e.chkRequired->setChecked(true); }));
    QCOMPARE(fieldRows(env), rowsBefore);
    QCOMPARE(env.query("SELECT \"fieldname\", \"Required\", \"Minimum\", \"Maximum\", "
                       "\"Decimals\" FROM \"FieldChecks\" ORDER BY \"fieldname\""),
             (QList<QVariantList>{{"Name", "1", QVariant(), QVariant(), QVariant()},
                                  {"Price", "1", "1.00", "1000.00", QVariant()}}));
    QStringList shown;
    edit("Price", "Currency", [&](Form2& e) {
        shown << e.txtMinimum->text() << e.txtMaximum->text()
              << (e.chkRequired->isChecked() ? "required" : "");
    });
    QCOMPARE(shown, (QStringList{"1,00", "1000,00", "required"}));
    QCOMPARE(listed(*FieldList(env).list.ListView1, 4),
             (QStringList{"required, 1,00 to 1000,00", "required"}));

    messages.clear();
    auto w = startRecordWindow(messages, env);
    w->PushButton3_Click();
    QLineEdit* price = textBox(*w, 0);
    const QList<std::pair<QString, QString>> values = {
        {"", "\"Price\" must be given."},
        {"1000,01", "\"Price\" is above its maximum, 1000,00."},
        {"0,5", "\"Price\" is below its minimum, 1,00."},
        {"12", "\"Name\" must be given."}};
    for (const auto& [typed, said] : values) {
        messages.clear();
        price->setText(typed);
        textBox(*w, 1)->setText(" ");
        w->PushButton6_Click();
        VERIFY_SAID_ONCE(messages, said);
        QCOMPARE(env.query("SELECT count(*) FROM \"CustomTable\"")[0][0].toString(), "1");
    }
    textBox(*w, 1)->setText("Bo");
    w->PushButton6_Click();
    QCOMPARE(env.query("SELECT \"Price\" FROM \"CustomTable\" WHERE \"ID\" = 2")[0][0],
             QVariant("12.00"));
    // A value left alone is checked too: an older record without a name is not saved.
    env.execute("UPDATE \"CustomTable\" SET \"Name\" = '' WHERE \"ID\" = 1");
    QApplication::setActiveWindow(w.get());
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    const auto click = [&](const char* name) {
        QTest::mouseClick(w->findChild<QPushButton*>(name), Qt::LeftButton);
    };
    click("PushButton4"); // Refresh, Edit
    click("PushButton1");
    QTest::keyClicks(textBox(*w, 0), "7");
    messages.clear();
    click("PushButton6");
    VERIFY_SAID_ONCE(messages, "\"Name\" must be given.");
    QCOMPARE(QApplication::focusWidget(), textBox(*w, 1));
    QCOMPARE(env.query("SELECT \"Price\" FROM \"CustomTable\" WHERE \"ID\" = 1")[0][0],
             QVariant("5.00"));
    w.reset();
    auto connection = env.store().open();
    deleteFieldFromTables(*connection, "Price");
    QCOMPARE(env.query("SELECT \"fieldname\" FROM \"FieldChecks\"").size(), 1);
    QLocale::setDefault(QLocale::c());
}

// Every value is stored in the new kind's canonical form, or, when one does not read as it, the
// change is refused listing how many and the first ten, and nothing changes. Back to text the
// canonical text stays.
void FieldSetupTest::kindChangesConvertEveryValueOrNone() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    env.addFields({{"Amount", "Textfield"}, {"Born", "Textfield"}});
    env.addRecords({{"1.234,5", "1948-12-08 00:00:00"},
                    {" 12 ", "December 8, 1948"},
                    {QVariant(), "08.12.1948"},
                    {"", ""}});
    QList<QVariantList> bad;
    for (int i = 1; i <= 11; ++i)
        bad << QVariantList{"x" + QString::number(i)};
    env.addRecords(bad);
    ScriptedMessages messages;
    const auto change = [&](const QString& name, const QString& from, const QString& to) {
        Form2 editor(messages, env.paths(), env.store(), FieldDefinition{name, from, "8", ""});
        chooseType(editor, to);
        editor.PushButton2_Click();
    };
    const QString values = "SELECT \"Amount\", \"Born\" FROM \"CustomTable\" ORDER BY \"ID\"";
    const QList<QVariantList> before = env.query(values);
    change("Amount", "Textfield", "Number");
    VERIFY_SAID_ONCE(messages, "11 of its values are not numbers (record 5: \"x1\"",
                     "record 14: \"x10\", ...). Nothing was changed.");
    QVERIFY(!messages.texts()[0].contains("x11"));
    QCOMPARE(env.query(values), before);
    QVERIFY(fieldRows(env).contains("Amount|Textfield|8|"));

    env.execute("DELETE FROM \"CustomTable\" WHERE \"ID\" > 4");
    messages.clear();
    change("Amount", "Textfield", "Number");
    change("Born", "Textfield", "Date");
    const QList<QVariantList> numbers = {{"1234.5", "1948-12-08T00:00:00"},
                                         {"12", "1948-12-08"},
                                         {QVariant(), "1948-12-08"},
                                         {"", ""}};
    QCOMPARE(env.query(values), numbers);
    change("Amount", "Number", "Currency");
    QCOMPARE(env.query(values)[0][0], QVariant("1234.50"));
    change("Amount", "Currency", "Textfield");
    QCOMPARE(env.query(values)[1][0], QVariant("12.00"));
    QStringList rows = fieldRows(env);
    rows.sort();
    QCOMPARE(rows, (QStringList{"Amount|Textfield|8|", "Born|Date|8|"}));
    QCOMPARE(messages.texts(), QStringList());
    Form2 editor(messages, env.paths(), env.store(),
                 FieldDefinition{"Amount", "Textfield", "8", ""});
    editor.chkRequired->setChecked(true);
    editor.PushButton2_Click();
    VERIFY_SAID_ONCE(messages, "2 of its values would break them (record 3: \"\" must be given, "
                               "record 4: \"\" must be given). Nothing was changed.");
    // A number stored as one is read as one: "1.234" is no thousand in German.
    change("Amount", "Textfield", "Number");
    env.execute("UPDATE \"CustomTable\" SET \"Amount\" = '1.234' WHERE \"ID\" = 1");
    messages.clear();
    Form2 share(messages, env.paths(), env.store(), FieldDefinition{"Amount", "Number", "8", ""});
    share.txtMaximum->setText("20");
    share.PushButton2_Click();
    QCOMPARE(messages.texts(), QStringList());
    change("Amount", "Number", "Currency");
    VERIFY_SAID_ONCE(messages, "record 1: \"1.234\"");
    QCOMPARE(env.query(values)[0][0], QVariant("1.234"));
    QLocale::setDefault(QLocale::c());
}

void FieldSetupTest::updateChangesDefinitionOnly() {
    TestEnvironment env;
    env.addFields({{"Name", "Textfield"}, {"Colour", "dropdown", "3", "Red,[Green],Blue"}});
    env.addRecords({{"Ann", "Red"}});
    FieldList f(env);
    QTreeWidget& list = *f.list.ListView1;
    list.setCurrentItem(list.topLevelItem(1));
    QStringList shown;
    whenShown<Form2>([&](Form2& editor) {
        shown << editor.windowTitle() << editor.Text1->text() << editor.cboFieldType->currentText()
              << editor.Text2->text() << QString::number(editor.cboFieldValues->currentIndex())
              << (editor.Text1->isEnabled() ? "enabled" : "disabled");
        for (int i = 0; i < editor.cboFieldValues->count(); ++i)
            shown << editor.cboFieldValues->itemText(i);
        editor.cboFieldValues->setCurrentIndex(1);
        editor.PushButton2->click();
    });
    f.list.PushButton5->click();
    QCOMPARE(shown, QStringList({"Update Field", "Colour", "Dropdown", "3", "-1", "disabled", "Red",
                                 "[Green]", "Blue"}));
    QCOMPARE(fieldRows(env).last(), QString("Colour|Dropdown|3|Red,[[Green]],Blue"));
    QCOMPARE(list.currentItem()->text(3), QString("Red,[[Green]],Blue"));

    whenShown<Form2>([&](Form2& editor) {
        chooseType(editor, "Textfield");
        editor.PushButton2->click();
    });
    QVERIFY(QTest::qWaitForWindowExposed(&f.list));
    const QPoint centre = list.visualItemRect(list.currentItem()).center();
    // A double click as the system delivers it: the second press arrives as the double click.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, centre);
    QCOMPARE(fieldRows(env), QStringList({"Name|Textfield|8|", "Colour|Textfield|3|"}));
    QCOMPARE(env.query("select * from CustomTable"), QList<QVariantList>({{"1", "Ann", "Red"}}));
    QVERIFY(f.list.fieldsChanged());
}

// A field's column and row change together or not at all, on a server too, where the column
// change is a statement of the same transaction. Also: the pointer is the arrow while the
// failure is told.
void FieldSetupTest::failedStatementLeavesTablesAsTheyWere() {
    QFETCH(StoreKind, store);
    TestEnvironment env(store);
    env.addField("A", "Textfield");
    env.addRecords({{"kept"}});
    env.execute(env.onServer()
                    ? "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RAISE "
                      "'no % today', CASE TG_OP WHEN 'INSERT' THEN 'new fields' ELSE 'fields lost' "
                      "END; END$$; CREATE TRIGGER refuse BEFORE INSERT OR DELETE ON "
                      "\"FieldControl\" FOR EACH ROW EXECUTE FUNCTION refuse()"
                    : "CREATE TRIGGER NoNewRows BEFORE INSERT ON FieldControl BEGIN SELECT "
                      "RAISE(ABORT, 'no new fields today'); END; CREATE TRIGGER NoLostRows BEFORE "
                      "DELETE ON FieldControl BEGIN SELECT RAISE(ABORT, 'no fields lost today'); "
                      "END");
    FieldList f(env);
    QVERIFY(createField(f, "B", "Textfield"));
    Qt::CursorShape pointerDuringMessage = Qt::WaitCursor;
    f.messages.onNextShow([&] { pointerDuringMessage = f.list.cursor().shape(); });
    f.list.PushButton3->click();
    QCOMPARE(pointerDuringMessage, Qt::ArrowCursor);
    QCOMPARE(f.messages.shown.size(), 2);
    QVERIFY(f.messages.shown[0].text.contains("no new fields today"));
    QVERIFY(f.messages.shown[1].text.contains("no fields lost today"));
    QCOMPARE(env.query("select * from \"CustomTable\""), QList<QVariantList>({{"1", "kept"}}));
    QCOMPARE(fieldRows(env), QStringList{"A|Textfield|8|"});
    QCOMPARE(listed(*f.list.ListView1), QStringList{"A"});
    f.list.PushButton1->click();
    QVERIFY(!f.list.fieldsChanged());
    QCOMPARE(f.record.clears, 0);
}

void FieldSetupTest::deleteGoesAheadOnlyWithItsOwnCopy_data() {
    QTest::addColumn<bool>("locked"); // another program holds the data file all the while
    QTest::newRow("older copies named later") << false;
    QTest::newRow("data file locked") << true;
}

// The copy before a delete is the way back: the delete goes ahead only once its own copy is
// written, however the older copies are named, and only the user may read that copy.
void FieldSetupTest::deleteGoesAheadOnlyWithItsOwnCopy() {
    QFETCH(bool, locked);
    umask(022);
    TestEnvironment env;
    env.addFields(2);
    env.addRecords({{"a", "b"}});
    // Copies written before the clock was put back (a change of time zone) and the user's own
    // file: their names sort after today's, their times before it.
    const QString folder = Backups::folderFor(env.dataFile());
    const auto oldFile = [&](const QString& name, int daysAgo) {
        QFile file(writeFile(folder + '/' + name, "old"));
        file.open(QIODevice::ReadWrite);
        file.setFileTime(QDateTime::currentDateTime().addDays(-daysAgo),
                         QFileDevice::FileModificationTime);
        return file.fileName();
    };
    QStringList older;
    for (int i = 1; i <= Backups::Kept; ++i)
        older << oldFile(QString("dbData-2999010%1-000000-000.mdb").arg(i), 30 - i);
    const QString own = oldFile("dbData-mine.mdb", 60);
    FieldList f(env);
    OtherProgram other(env);
    if (locked)
        other.rows("BEGIN EXCLUSIVE"); // let go only when the test ends
    f.list.PushButton3->click();
    const QStringList copies = Backups::list(env.dataFile());
    QVERIFY(QFile::exists(own));
    if (locked) {
        VERIFY_SAID_ONCE(f.messages, "in use by another program");
        QCOMPARE(listed(*f.list.ListView1), QStringList({"F1", "F2"}));
        QCOMPARE(copies, older);
        return;
    }
    QCOMPARE(f.messages.texts(), QStringList());
    QCOMPARE(copies.size(), Backups::Kept);
    QCOMPARE(copies.mid(0, Backups::Kept - 1), older.mid(1));
    const QString fresh = copies.value(Backups::Kept - 1);
    QCOMPARE(queryFile(fresh, "SELECT F1 FROM CustomTable"), QList<QVariantList>({{"a"}}));
    QCOMPARE(modeOf(fresh), 0600);
}

QTEST_MAIN(FieldSetupTest)
#include "tst_fields.moc"
