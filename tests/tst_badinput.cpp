// Input no one planned for: any Unicode in values, field names, drop-down items and search
// text, very long values and names, and numbers too large, negative zero or no numbers at all
// in the size boxes and a field's size. Taken exactly, or refused clearly; never a crash.

#include "support/testsupport.h"

#include "fields/form2.h"
#include "fields/form4.h"
#include "record/form1.h"
#include "search/form3.h"
#include "search/searchresults.h"

#include <QtTest>
#include <QtWidgets>

namespace {
const QString Combining = "e\u0301t\u0308e\u0323\u0304";
const QString RightToLeft = "\u05e9\u05dc\u05d5\u05dd \u0645\u0631\u062d\u0628\u0627";
const QString Emoji = "\U0001F600\U0001F469\u200D\U0001F4BB\U0001D11E";
const QString Mixed = "a'b]c\"d[e`f%g_h\\i";

// Fills the field editor as the user would, in a field list over the window.
void editField(Form1& window, ScriptedMessages& messages, const TestEnvironment& env,
               const QString& title, const QString& name, const QString& type,
               const QString& size = "8", const QStringList& items = {}) {
    Form4 list(messages, env.paths(), window, &window);
    list.ListView1->setCurrentItem(list.ListView1->topLevelItem(0));
    std::optional<FieldDefinition> edited;
    if (title == Form2::UpdateCaption)
        edited = FieldDefinition{name, type, size, QString()};
    Form2 editor(messages, env.paths(), edited, &list);
    editor.Text1->setText(name);
    editor.setFieldTypeText(type);
    editor.Text2->setText(size);
    for (const QString& item : items) {
        messages.answerInput(item);
        editor.PushButton1_Click();
    }
    editor.PushButton2_Click();
}
} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

  private slots:
    void takenExactlyOrRefused_data();
    void takenExactlyOrRefused();
};

void TestBadInput::takenExactlyOrRefused_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("said"); // how a refusal ends; empty when the text is taken
    QString huge;
    while (huge.size() < 100000)
        huge += Emoji + Combining + RightToLeft + "0123456789";
    const auto row = [](const QString& place, const char* what) {
        return &QTest::newRow(qPrintable(place + ": " + what));
    };
    const QList<std::pair<const char*, QString>> texts{{"combining marks", Combining},
                                                       {"right to left", RightToLeft},
                                                       {"emoji in brackets", "]]" + Emoji + "[["},
                                                       {"quotes and wildcards", Mixed}};
    for (const auto& [what, text] : texts) {
        *row("value", what) << text << "";
        *row("name and item", what) << text << "";
    }
    *row("value", "100,000 characters") << huge.left(99999) << "";
    *row("name and item", "10,000 characters") << QString(10000, QChar(0xc9)) << "";
    *row("name and item", "the engine's own table") << "sqlite_master"
                                                    << "";
    *row("name and item", "NUL") << QString("x") + QChar(0) + "y"
                                 << "hold.";
    *row("name and item", "lone surrogate") << QChar(0xd800) + QString("z") << "hold.";
    *row("size box", "too large") << "1e400"
                                  << "or less.";
    *row("size box", "more digits than a number holds") << "99999999999"
                                                        << "or less.";
    *row("size box", "emoji") << Emoji << "Must be a numeric entry.";
    for (const char* size : {"-0", "1e-400"})
        *row("size box", size) << size << "";
    for (const char* size : {"1e400", "-0", "99999999999", "2.5.5", "", "nan"})
        *row("field size", size) << size << "";
    *row("field size", "emoji") << Emoji << "";
    *row("search", "emoji") << Emoji << "";
    *row("search", "combining marks in capitals") << Combining.toUpper() << "";
}

void TestBadInput::takenExactlyOrRefused() {
    QFETCH(QString, text);
    QFETCH(QString, said);
    const QString place = QString(QTest::currentDataTag()).section(':', 0, 0);
    TestEnvironment env;
    if (place == "field size") {
        env.addField("F1", "Textfield", text);
    } else if (place == "name and item") {
        env.createDataFile();
    } else {
        env.addFields(1);
        env.addRecords({{place == "search" ? text : "old"}, {"plain"}});
    }
    ScriptedMessages messages;
    auto w = startRecordWindow(messages, env);
    QVERIFY(w);
    QString stored = text;
    if (place == "value") {
        press(*w, "PushButton1");
        textBox(*w, 0)->setText(text);
        press(*w, "PushButton6");
        press(*w, "PushButton11");
        press(*w, "PushButton10");
        QCOMPARE(textBox(*w, 0)->text(), text); // away and back: exactly what was stored
    } else if (place == "name and item") {
        editField(*w, messages, env, Form2::AddCaption, text, "Dropdown", "8", {text});
        if (!said.isEmpty()) {
            QVERIFY2(messages.shown.size() == 1 && messages.shown[0].text.endsWith(said),
                     qPrintable(messages.texts().join('\n')));
            QCOMPARE(env.columnsOf("CustomTable"), QStringList{"ID"});
            return;
        }
        QCOMPARE(env.columnsOf("CustomTable"), (QStringList{"ID", text}));
        QCOMPARE(env.query("SELECT * FROM FieldControl"),
                 (QList<QVariantList>{{text, "Dropdown", "8", text}}));
        press(*w, "PushButton4");
        QCOMPARE(w->shownCaptions(), QStringList{text});
        press(*w, "PushButton3");
        auto* items = qobject_cast<QComboBox*>(w->mInputControls().value(0));
        QVERIFY(items && items->findText(text) >= 0);
        items->setCurrentIndex(items->findText(text));
        press(*w, "PushButton6");
    } else if (place == "size box") {
        auto* sizeBox = w->findChild<QLineEdit*>("Text3");
        sizeBox->setFocus();
        sizeBox->setText(text);
        w->findChild<QPushButton*>("PushButton4")->setFocus(); // checked once the focus goes
        if (said.isEmpty())
            QTest::qWait(50);
        else
            QTRY_VERIFY(!messages.shown.isEmpty());
        QVERIFY2(said.isEmpty() ? messages.shown.isEmpty() : messages.shown[0].text.endsWith(said),
                 qPrintable(messages.texts().join('\n')));
        QCOMPARE(sizeBox->text(), text);
        // The inputs stay on the page and usable.
        sizeBox->setText("0");
        messages.clear();
        stored = "still works";
        press(*w, "PushButton1");
        textBox(*w, 0)->setText(stored);
        press(*w, "PushButton6");
    } else if (place == "field size") {
        const int width = w->mInputControls().value(0)->width();
        QVERIFY(width >= 1 && width <= w->findChild<QWidget*>("Frame1")->width());
        // Updating the field writes its size back exactly as it was.
        editField(*w, messages, env, Form2::UpdateCaption, "F1", "Multiline Textfield", text);
        QCOMPARE(env.query("SELECT FieldType, FieldLength FROM FieldControl"),
                 (QList<QVariantList>{{"Multiline Textfield", text}}));
    } else if (place == "search") {
        Form3 search(messages, env.paths(), *w, w.get());
        search.findChild<QLineEdit*>("Text1")->setText(text);
        search.PushButton3_Click();
        QCOMPARE(search.results().rowCount(), 1);
        QCOMPARE(search.results().idAt(0), 1);
    }
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(env.query("SELECT * FROM CustomTable ORDER BY ID").value(0).value(1).toString(),
             place == "field size" ? QString() : stored);
}

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
