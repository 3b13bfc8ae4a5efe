// Input no one planned for: any Unicode in captions, values, drop-down items and search text,
// very long values and names, and numbers that are too large, negative zero or no numbers at
// all in the size boxes and a field's size. Correct results or a clear refusal, never a crash
// or a changed value.

#include "support/testsupport.h"

#include "app/settings.h"
#include "fields/form2.h"
#include "fields/form4.h"
#include "record/form1.h"
#include "search/form3.h"
#include "search/searchresults.h"
#include "store/recordset.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {
const QString Combining = QStringLiteral("e\u0301t\u0308e\u0323\u0304");
const QString RightToLeft =
    QStringLiteral("\u05e9\u05dc\u05d5\u05dd \u0645\u0631\u062d\u0628\u0627");
const QString Emoji = QStringLiteral("\U0001F600\U0001F469\u200D\U0001F4BB\U0001D11E");
const QString Mixed = QStringLiteral("a'b]c\"d[e`f%g_h\\i");

void press(QWidget& window, const char* name) {
    auto* button = window.findChild<QPushButton*>(QLatin1String(name));
    QVERIFY(button);
    button->click();
}

QLineEdit* box(Form1& window, int entry) {
    return qobject_cast<QLineEdit*>(window.mInputControls().value(entry));
}

// Adds a field through the field editor as the user would, in a field list over the window.
void addThroughEditor(Form1& window, ScriptedMessages& messages, const TestEnvironment& env,
                      const QString& caption, const QString& type, const QStringList& values = {}) {
    Form4 list(messages, env.paths(), window, &window);
    Form2 editor(messages, env.paths(), *list.ListView1, &list);
    editor.setWindowTitle(Form2::AddCaption);
    editor.Text1->setText(caption);
    editor.setFieldTypeText(type);
    for (const QString& value : values) {
        messages.answerInput(value);
        editor.PushButton1_Click();
    }
    editor.PushButton2_Click();
    list.close();
}
} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

  private slots:
    void unicodeCaptionsAndItemsAreStoredExactly_data();
    void unicodeCaptionsAndItemsAreStoredExactly();
    void unicodeAndHugeValuesSurviveSaveAndBrowse();
    void unicodeSearchTextFindsItsRecord();
    void longAndOddFieldNamesWorkOrAreRefused();
    void sizeBoxesTakeOddNumbers_data();
    void sizeBoxesTakeOddNumbers();
    void oddFieldSizesLayOutAndStayUnchanged();
};

void TestBadInput::unicodeCaptionsAndItemsAreStoredExactly_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("combining marks") << Combining;
    QTest::newRow("right to left") << RightToLeft;
    QTest::newRow("outside the BMP") << Emoji;
    QTest::newRow("quotes and brackets") << Mixed;
}

void TestBadInput::unicodeCaptionsAndItemsAreStoredExactly() {
    QFETCH(QString, text);
    TestEnvironment env;
    env.createDataFile();
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    addThroughEditor(*window, messages, env, text, QStringLiteral("Dropdown"),
                     {text, text + QStringLiteral("2")});
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
    QCOMPARE(env.columnsOf(QStringLiteral("CustomTable")), (QStringList{"ID", text}));
    QCOMPARE(env.query(QStringLiteral("SELECT * FROM FieldControl")),
             (QList<QVariantList>{{text, QStringLiteral("Dropdown"), QStringLiteral("8"),
                                   text + QLatin1Char(',') + text + QStringLiteral("2")}}));

    press(*window, "PushButton4");
    auto* label = window->findChild<QLabel*>(QStringLiteral("Label1"));
    QVERIFY(label);
    QCOMPARE(label->text(), text);
    press(*window, "PushButton3");
    auto* combo = qobject_cast<QComboBox*>(window->mInputControls().value(0));
    QVERIFY(combo);
    QCOMPARE(combo->itemText(1), text + QStringLiteral("2"));
    combo->setCurrentIndex(1);
    press(*window, "PushButton6");
    QCOMPARE(env.query(QStringLiteral("SELECT * FROM CustomTable"))[0][1].toString(),
             text + QStringLiteral("2"));
}

void TestBadInput::unicodeAndHugeValuesSurviveSaveAndBrowse() {
    TestEnvironment env;
    env.addFields(4);
    env.addRecords({QVariantList(4, QStringLiteral("old")), QVariantList(4, QStringLiteral("x"))});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    QString huge;
    while (huge.size() < 100000)
        huge += Emoji + Combining + RightToLeft + QStringLiteral("0123456789");
    huge.truncate(100000);
    if (huge.back().isHighSurrogate())
        huge.chop(1);
    const QStringList values{Combining, RightToLeft, Emoji + Mixed, huge};
    press(*window, "PushButton1");
    for (int i = 0; i < 4; ++i)
        box(*window, i)->setText(values[i]);
    press(*window, "PushButton6");
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
    const QVariantList stored = env.query(QStringLiteral("SELECT F1, F2, F3, F4 FROM "
                                                         "CustomTable ORDER BY ID"))[0];
    for (int i = 0; i < 4; ++i)
        QCOMPARE(stored[i].toString(), values[i]);

    // Away and back: the window shows exactly what was stored.
    press(*window, "PushButton11");
    press(*window, "PushButton10");
    for (int i = 0; i < 4; ++i)
        QCOMPARE(box(*window, i)->text(), values[i]);
}

void TestBadInput::unicodeSearchTextFindsItsRecord() {
    TestEnvironment env;
    env.addFields(2);
    env.addRecords({{QStringLiteral("plain"), QStringLiteral("text")},
                    {QStringLiteral("x") + Emoji + QStringLiteral("y"), Combining},
                    {RightToLeft, Mixed}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    const QList<std::pair<QString, QList<qint64>>> searches{
        {Emoji, {2}},
        {Combining.toUpper(), {2}},
        {RightToLeft.mid(2, 3), {3}},
        {QStringLiteral("%"), {3}},
        {QStringLiteral("g_h"), {3}},
        {QStringLiteral("\\i"), {3}},
        {QStringLiteral("\U0001F601"), {}},
    };
    for (const auto& [text, ids] : searches) {
        Form3 search(messages, env.paths(), *window, window.get());
        auto* searchBox = search.findChild<QLineEdit*>(QStringLiteral("Text1"));
        QVERIFY(searchBox);
        searchBox->setText(text);
        search.PushButton3_Click();
        QList<qint64> found;
        for (int r = 0; r < search.results().rowCount(); ++r)
            found << search.results().idAt(r);
        QVERIFY2(found == ids, qPrintable(text));
    }
    for (const Message& m : messages.shown)
        QVERIFY2(!m.text.contains(QStringLiteral("Application Error")), qPrintable(m.text));
}

void TestBadInput::longAndOddFieldNamesWorkOrAreRefused() {
    TestEnvironment env;
    env.createDataFile();
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    const QStringList names{QString(10000, QChar(0x00c9)),
                            QStringLiteral("]]") + Emoji + QStringLiteral("[["),
                            QStringLiteral("\"\"\"") + RightToLeft,
                            QStringLiteral("sqlite_master"),
                            QStringLiteral("ID2"),
                            Combining};
    for (const QString& name : names)
        addThroughEditor(*window, messages, env, name, QStringLiteral("Textfield"));
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
    QCOMPARE(env.columnsOf(QStringLiteral("CustomTable")).mid(1), names);

    // A name the engine cannot hold is refused with the editor still open, nothing written.
    for (const QString& bad : {QStringLiteral("a\tb"), QStringLiteral("x\u0000y"),
                               QString(QChar(0xd800)) + QStringLiteral("z")}) {
        messages.clear();
        addThroughEditor(*window, messages, env, bad, QStringLiteral("Textfield"));
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(env.columnsOf(QStringLiteral("CustomTable")).mid(1), names);
    }

    // The page shows them, and values go to the right columns.
    press(*window, "PushButton4");
    press(*window, "PushButton3");
    for (int i = 0; i < names.size(); ++i)
        box(*window, i)->setText(QString::number(i));
    press(*window, "PushButton6");
    QCOMPARE(env.query(QStringLiteral("SELECT * FROM CustomTable"))[0].mid(1),
             (QVariantList{"0", "1", "2", "3", "4", "5"}));
}

void TestBadInput::sizeBoxesTakeOddNumbers_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("said");
    QTest::newRow("1e400") << "1e400"
                           << "or less.";
    QTest::newRow("99999999999") << "99999999999"
                                 << "or less.";
    QTest::newRow("-99999999999") << "-99999999999"
                                  << "";
    QTest::newRow("-0") << "-0"
                        << "";
    QTest::newRow("2.5.5") << "2.5.5"
                           << "Must be a numeric entry.";
    QTest::newRow("1e-400") << "1e-400"
                            << "";
    QTest::newRow("emoji") << Emoji << "Must be a numeric entry.";
}

void TestBadInput::sizeBoxesTakeOddNumbers() {
    QFETCH(QString, typed);
    QFETCH(QString, said);
    TestEnvironment env;
    env.addFields(2);
    env.addRecords({{QStringLiteral("a"), QStringLiteral("b")}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    const QRect designed = box(*window, 0)->geometry();
    for (const char* name : {"Text3", "Text4"}) {
        messages.clear();
        auto* sizeBox = window->findChild<QLineEdit*>(QLatin1String(name));
        QVERIFY(sizeBox);
        sizeBox->setFocus();
        sizeBox->setText(typed);
        window->findChild<QPushButton*>(QStringLiteral("PushButton4"))->setFocus();
        // The check runs once the focus has gone.
        if (said.isEmpty())
            QTest::qWait(50);
        else
            QTRY_VERIFY(!messages.shown.isEmpty());
        if (said.isEmpty())
            QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
        else
            QVERIFY2(!messages.shown.isEmpty() && messages.shown[0].text.endsWith(said),
                     qPrintable(messages.texts().join('\n')));
        QCOMPARE(sizeBox->text(), typed);
        sizeBox->setText(QStringLiteral("0"));
    }
    // The value the user typed is kept as typed; the inputs stay on the page and usable.
    QCOMPARE(SizeSettings::width(), QStringLiteral("0"));
    press(*window, "PushButton4");
    QCOMPARE(box(*window, 0)->geometry(), designed);
    press(*window, "PushButton1");
    box(*window, 0)->setText(QStringLiteral("still works"));
    press(*window, "PushButton6");
    QCOMPARE(env.query(QStringLiteral("SELECT F1 FROM CustomTable"))[0][0].toString(),
             QStringLiteral("still works"));
}

void TestBadInput::oddFieldSizesLayOutAndStayUnchanged() {
    TestEnvironment env;
    const QStringList sizes{"1e400", "-0", "99999999999", "2.5.5", "-1e400", "", Emoji, "nan"};
    for (int i = 0; i < sizes.size(); ++i)
        env.addField(QStringLiteral("F%1").arg(i + 1), QStringLiteral("Textfield"), sizes[i]);
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
    QCOMPARE(window->mInputControls().size(), sizes.size());
    auto* frame = window->findChild<QWidget*>(QStringLiteral("Frame1"));
    for (QWidget* input : window->mInputControls()) {
        QVERIFY(input->width() >= 1);
        QVERIFY(input->width() <= frame->width());
    }

    // Updating a field writes its size back exactly as it was.
    Form4 list(messages, env.paths(), *window, window.get());
    for (int i = 0; i < sizes.size(); ++i) {
        list.ListView1->setCurrentItem(list.ListView1->topLevelItem(i));
        Form2 editor(messages, env.paths(), *list.ListView1, &list);
        editor.Text1->setText(list.ListView1->currentItem()->text(0));
        editor.Text1->setEnabled(false);
        editor.setFieldTypeText(QStringLiteral("Multiline Textfield"));
        editor.Text2->setText(list.ListView1->currentItem()->text(2));
        editor.setWindowTitle(Form2::UpdateCaption);
        editor.PushButton2_Click();
    }
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
    QStringList stored;
    for (const QVariantList& row : env.query(QStringLiteral("SELECT FieldLength, FieldType "
                                                            "FROM FieldControl"))) {
        stored << row[0].toString();
        QCOMPARE(row[1].toString(), QStringLiteral("Multiline Textfield"));
    }
    QCOMPARE(stored, sizes);
}

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
