// Input no one planned for: any Unicode in values, field names, drop-down items and search
// text, very long values and names, and numbers too large, negative zero or no numbers at all
// in the size boxes and a field's size. Taken exactly, or refused clearly; never a crash. Names
// and values that could break out of a statement are tried on a server's database too.

#include "support/testsupport.h"

#include "fields/form2.h"
#include "fields/form4.h"
#include "record/form1.h"
#include "search/form3.h"
#include "search/searchresults.h"

#include <QtTest>
#include <QtWidgets>

const QString Combining = "e\u0301t\u0308e\u0323\u0304";
const QString RightToLeft = "\u05e9\u05dc\u05d5\u05dd \u0645\u0631\u062d\u0628\u0627";
const QString Emoji = "\U0001F600\U0001F469\u200D\U0001F4BB\U0001D11E";
// Quotes, brackets, wildcards, statement ends, parameter marks, dollar quotes, comments.
const QString Hostile = "a'b]c\"d[e`f%g_h\\i;j$$k?1$1--');DROP TABLE \"CustomTable\";--";

// Fills the field editor as the user would, in a field list over the window; the values given
// are added as one item.
static void editField(Form1& window, ScriptedMessages& messages, const TestEnvironment& env,
                      const FieldDefinition& field, bool update) {
    Form4 list(messages, env.paths(), env.store(), window, &window);
    Form2 editor(messages, env.paths(), env.store(), update ? std::optional(field) : std::nullopt,
                 &list);
    editor.Text1->setText(field.name);
    editor.setFieldTypeText(field.type);
    editor.Text2->setText(field.length);
    messages.answerInput(field.values);
    if (!field.values.isEmpty())
        editor.PushButton1_Click();
    editor.PushButton2_Click();
}

class TestBadInput : public QObject {
    Q_OBJECT

  private slots:
    void takenExactlyOrRefused_data();
    void takenExactlyOrRefused();
};

void TestBadInput::takenExactlyOrRefused_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("said"); // how a refusal ends; empty when the text is taken
    for (const char* place : {"value", "name and item"}) {
        QTest::addRow("%s: combining marks", place) << Combining << "";
        QTest::addRow("%s: right to left", place) << RightToLeft << "";
        QTest::addRow("%s: emoji in brackets", place) << ("]]" + Emoji + "[[") << "";
        QTest::addRow("%s: quotes and wildcards", place) << Hostile << "";
        QTest::addRow("%s: on the server, quotes and wildcards", place) << Hostile << "";
        QTest::addRow("%s: on the server, emoji in brackets", place) << ("]]" + Emoji + "[[") << "";
    }
    QTest::newRow("value: 100,000 characters")
        << (Emoji + Combining + RightToLeft + "0123456789").repeated(2703).left(99999) << "";
    QTest::newRow("name and item: 10,000 characters") << QString(10000, QChar(0xc9)) << "";
    QTest::newRow("name and item: on the server, 64 bytes")
        << QString(32, QChar(0xc9)) << "Choose a shorter caption.";
    QTest::newRow("name and item: the engine's own table") << QString("sqlite_master") << "";
    QTest::newRow("name and item: NUL") << (QString("x") + QChar(0) + "y") << "hold.";
    QTest::newRow("name and item: lone surrogate") << QChar(0xd800) + QString("z") << "hold.";
    QTest::newRow("size box: too large") << QString("1e400") << "or less.";
    QTest::newRow("size box: more digits than a number holds")
        << QString("99999999999") << "or less.";
    QTest::newRow("size box: emoji") << Emoji << "Must be a numeric entry.";
    for (const char* size : {"-0", "1e-400"})
        QTest::addRow("size box: %s", size) << size << "";
    for (const QString& size : QStringList{"1e400", "-0", "99999999999", "2.5.5", "", "nan", Emoji})
        QTest::addRow("field size: %s", qPrintable(size)) << size << "";
    QTest::newRow("search: emoji") << Emoji << "";
    QTest::newRow("search: combining marks in capitals") << Combining.toUpper() << "";
}

void TestBadInput::takenExactlyOrRefused() {
    QFETCH(QString, text);
    QFETCH(QString, said);
    const QString place = QString(QTest::currentDataTag()).section(':', 0, 0);
    TestEnvironment env(QString(QTest::currentDataTag()).contains("on the server")
                            ? StoreKind::Server
                            : StoreKind::Local);
    if (place != "name and item") {
        env.addField("F1", "Textfield", place == "field size" ? text : "8");
        env.addRecords({{place == "search" ? text : "old"}, {"plain"}});
    }
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    // What the first record holds in the end; a refused name leaves neither field nor record.
    QString stored = place == "field size" ? QString("old") : said.isEmpty() ? text : QString();
    if (place == "name and item") {
        editField(*w, messages, env, {text, "Dropdown", "8", text}, false);
        const bool taken = said.isEmpty();
        QCOMPARE(env.columnsOf("CustomTable"), QStringList({"ID", text}).first(taken ? 2 : 1));
        QCOMPARE(env.query(FieldRows),
                 QList<QVariantList>({{text, "Dropdown", "8", text}}).first(taken ? 1 : 0));
        if (taken) {
            press(*w, "PushButton4");
            QCOMPARE(w->shownCaptions(), QStringList{text});
            press(*w, "PushButton3");
            w->mInputControls().value(0)->setProperty("currentText", text); // the item chosen
            press(*w, "PushButton6");
        }
    } else if (place == "size box") {
        auto* sizeBox = w->findChild<QLineEdit*>("Text3");
        sizeBox->setFocus();
        sizeBox->setText(text);
        w->findChild<QPushButton*>("PushButton4")->setFocus(); // checked once the focus goes
        QTest::qWait(50);
        QCOMPARE(sizeBox->text(), text);
        // The inputs stay on the page and usable.
        sizeBox->setText("0");
        stored = "still works";
    } else if (place == "field size") {
        const int width = w->mInputControls().value(0)->width();
        QVERIFY(width >= 1 && width <= w->findChild<QWidget*>("Frame1")->width());
        // Updating the field writes its size back exactly as it was.
        editField(*w, messages, env, {"F1", "Multiline Textfield", text, {}}, true);
        QCOMPARE(env.query("SELECT FieldType, FieldLength FROM FieldControl"),
                 (QList<QVariantList>{{"Multiline Textfield", text}}));
    } else if (place == "search") {
        Form3 search(messages, env.paths(), env.store(), *w, w.get());
        search.findChild<QLineEdit*>("Text1")->setText(text);
        search.PushButton3_Click();
        QVERIFY(search.results().rowCount() == 1 && search.results().idAt(0) == 1);
    }
    if (place == "value" || place == "size box") { // away and back: exactly what was stored
        press(*w, "PushButton1");
        textBox(*w, 0)->setText(stored);
        for (const char* button : {"PushButton6", "PushButton11", "PushButton10"})
            press(*w, button);
        QCOMPARE(textBox(*w, 0)->text(), stored);
    }
    QVERIFY(said.isEmpty() ? messages.shown.isEmpty() : messages.saidOnce({said}));
    QCOMPARE(
        env.query("SELECT * FROM \"CustomTable\" ORDER BY \"ID\"").value(0).value(1).toString(),
        stored);
}

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
