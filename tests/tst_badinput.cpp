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

#include <QtTest>
#include <QtWidgets>

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
    Form2 editor(messages, env.paths(), std::nullopt, &list);
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
    void oddCaptionsNamesAndItemsAreStoredExactly();
    void unicodeAndHugeValuesSurviveSaveBrowseAndSearch();
    void sizeBoxesTakeOddNumbers_data();
    void sizeBoxesTakeOddNumbers();
    void oddFieldSizesLayOutAndStayUnchanged();
};

void TestBadInput::oddCaptionsNamesAndItemsAreStoredExactly() {
    TestEnvironment env;
    env.createDataFile();
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    // Drop-downs whose caption and items are the odd text, then text fields of odd names.
    const QStringList dropdowns{Combining, RightToLeft, Emoji, Mixed};
    const QStringList names =
        dropdowns + QStringList{QString(10000, QChar(0x00c9)), "]]" + Emoji + "[[",
                                "\"\"\"" + RightToLeft, "sqlite_master", "ID2"};
    QList<QVariantList> fieldControl;
    for (const QString& text : dropdowns) {
        addThroughEditor(*window, messages, env, text, "Dropdown", {text, text + '2'});
        fieldControl << QVariantList{text, "Dropdown", "8", text + ',' + text + '2'};
    }
    for (const QString& name : names.mid(dropdowns.size())) {
        addThroughEditor(*window, messages, env, name, "Textfield");
        fieldControl << QVariantList{name, "Textfield", "8", ""};
    }
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
    QCOMPARE(env.columnsOf("CustomTable"), QStringList{"ID"} + names);
    QCOMPARE(env.query("SELECT * FROM FieldControl"), fieldControl);

    // A name the engine cannot hold is refused with the editor still open, nothing written.
    for (const QString& bad : {QStringLiteral("a\tb"), QStringLiteral("x\u0000y"),
                               QChar(0xd800) + QStringLiteral("z")}) {
        messages.clear();
        addThroughEditor(*window, messages, env, bad, "Textfield");
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(env.columnsOf("CustomTable").mid(1), names);
    }

    // The page shows the captions and items, and values go to the right columns.
    press(*window, "PushButton4");
    QStringList captions;
    for (auto* label : window->findChildren<QLabel*>("Label1"))
        if (label->isVisible())
            captions << label->text();
    QCOMPARE(captions, names);
    press(*window, "PushButton3");
    QVariantList typed;
    for (int i = 0; i < names.size(); ++i) {
        if (auto* combo = qobject_cast<QComboBox*>(window->mInputControls().value(i))) {
            QCOMPARE(combo->itemText(1), names[i] + '2');
            combo->setCurrentIndex(1);
        } else {
            box(*window, i)->setText(QString::number(i));
        }
        typed << (i < dropdowns.size() ? names[i] + '2' : QString::number(i));
    }
    press(*window, "PushButton6");
    QCOMPARE(env.query("SELECT * FROM CustomTable")[0].mid(1), typed);
}

void TestBadInput::unicodeAndHugeValuesSurviveSaveBrowseAndSearch() {
    TestEnvironment env;
    env.addFields(4);
    env.addRecords({QVariantList(4, "old"), {"plain", "text", "x", "y"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    QString huge;
    while (huge.size() < 100000)
        huge += Emoji + Combining + RightToLeft + QStringLiteral("0123456789");
    huge.truncate(100000);
    if (huge.back().isHighSurrogate())
        huge.chop(1);
    const QVariantList values{Combining, RightToLeft, Emoji + Mixed, huge};
    press(*window, "PushButton1");
    for (int i = 0; i < 4; ++i)
        box(*window, i)->setText(values[i].toString());
    press(*window, "PushButton6");
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
    QCOMPARE(env.query("SELECT F1, F2, F3, F4 FROM CustomTable ORDER BY ID")[0], values);

    // Away and back: the window shows exactly what was stored.
    press(*window, "PushButton11");
    press(*window, "PushButton10");
    for (int i = 0; i < 4; ++i)
        QCOMPARE(box(*window, i)->text(), values[i].toString());

    // Searches for such text find that record alone; wildcards and escapes are plain text.
    const QList<std::pair<QString, QList<qint64>>> searches{
        {Emoji, {1}},
        {Combining.toUpper(), {1}},
        {RightToLeft.mid(2, 3), {1}},
        {"%", {1}},
        {"g_h", {1}},
        {"\\i", {1}},
        {"\U0001F601", {}},
    };
    for (const auto& [text, ids] : searches) {
        Form3 search(messages, env.paths(), *window, window.get());
        search.findChild<QLineEdit*>("Text1")->setText(text);
        search.PushButton3_Click();
        QList<qint64> found;
        for (int r = 0; r < search.results().rowCount(); ++r)
            found << search.results().idAt(r);
        QVERIFY2(found == ids, qPrintable(text));
    }
    for (const Message& m : messages.shown)
        QVERIFY2(!m.text.contains("Application Error"), qPrintable(m.text));
}

void TestBadInput::sizeBoxesTakeOddNumbers_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("said"); // the end of the message, or none
    for (const char* typed : {"1e400", "99999999999"})
        QTest::newRow(typed) << typed << "or less.";
    for (const char* typed : {"-99999999999", "-0", "1e-400"})
        QTest::newRow(typed) << typed << "";
    QTest::newRow("2.5.5") << "2.5.5"
                           << "Must be a numeric entry.";
    QTest::newRow("emoji") << Emoji << "Must be a numeric entry.";
}

void TestBadInput::sizeBoxesTakeOddNumbers() {
    QFETCH(QString, typed);
    QFETCH(QString, said);
    TestEnvironment env;
    env.addFields(2);
    env.addRecords({{"a", "b"}});
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    const QRect designed = box(*window, 0)->geometry();
    for (const char* name : {"Text3", "Text4"}) {
        messages.clear();
        auto* sizeBox = window->findChild<QLineEdit*>(QLatin1String(name));
        sizeBox->setFocus();
        sizeBox->setText(typed);
        // The check runs once the focus has gone.
        window->findChild<QPushButton*>("PushButton4")->setFocus();
        if (said.isEmpty())
            QTest::qWait(50);
        else
            QTRY_VERIFY(!messages.shown.isEmpty());
        QVERIFY2(said.isEmpty() ? messages.shown.isEmpty() : messages.shown[0].text.endsWith(said),
                 qPrintable(messages.texts().join('\n')));
        QCOMPARE(sizeBox->text(), typed);
        sizeBox->setText("0");
    }
    // The inputs stay on the page and usable.
    QCOMPARE(SizeSettings::width(), QStringLiteral("0"));
    press(*window, "PushButton4");
    QCOMPARE(box(*window, 0)->geometry(), designed);
    press(*window, "PushButton1");
    box(*window, 0)->setText("still works");
    press(*window, "PushButton6");
    QCOMPARE(env.query("SELECT F1 FROM CustomTable")[0][0].toString(),
             QStringLiteral("still works"));
}

void TestBadInput::oddFieldSizesLayOutAndStayUnchanged() {
    TestEnvironment env;
    const QStringList sizes{"1e400", "-0", "99999999999", "2.5.5", "-1e400", "", Emoji, "nan"};
    for (int i = 0; i < sizes.size(); ++i)
        env.addField(QStringLiteral("F%1").arg(i + 1), "Textfield", sizes[i]);
    ScriptedMessages messages;
    auto window = startRecordWindow(messages, env);
    QVERIFY(window);
    QCOMPARE(window->mInputControls().size(), sizes.size());
    auto* frame = window->findChild<QWidget*>("Frame1");
    for (QWidget* input : window->mInputControls())
        QVERIFY(input->width() >= 1 && input->width() <= frame->width());

    // Updating a field writes its size back exactly as it was.
    Form4 list(messages, env.paths(), *window, window.get());
    for (int i = 0; i < sizes.size(); ++i) {
        list.ListView1->setCurrentItem(list.ListView1->topLevelItem(i));
        QTreeWidgetItem* item = list.ListView1->currentItem();
        Form2 editor(messages, env.paths(),
                     FieldDefinition{item->text(0), "Multiline Textfield", item->text(2), ""},
                     &list);
        editor.PushButton2_Click();
    }
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
    QList<QVariantList> expected;
    for (const QString& size : sizes)
        expected << QVariantList{size, "Multiline Textfield"};
    QCOMPARE(env.query("SELECT FieldLength, FieldType FROM FieldControl"), expected);
}

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
