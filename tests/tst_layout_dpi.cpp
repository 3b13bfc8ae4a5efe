// The record window's layout at the logical DPI the test runs with. CTest runs this program at
// 96 DPI and again with QT_ENABLE_HIGHDPI_SCALING=0 and QT_FONT_DPI=144 or 192 (twips become
// fewer, larger pixels and the fonts grow with them), and with QT_FONT_DPI alone, which keeps
// 96 DPI and scales by the pixel ratio.
#include "record/form1.h"
#include "support/testsupport.h"

#include <QtTest>
#include <QtWidgets>
#include <cmath>

namespace {
// Thirty fields, so the window has a full first page and a second one. Names are of the length
// users give them; several are longer than the room before the input.
const QStringList Names =
    QStringLiteral("Name,Street address,City,Postcode,Country,Phone,Notes,Member,Joined,Plan,"
                   "Visit notes,Balance,Newsletter,Company,Department,Position,Status,Priority,"
                   "Active,Website,Referred by,Comments,Last contact,Paid,Rating,Tax,Extra,"
                   "Region,Archive,Remarks")
        .split(',');
const QStringList Types{"Textfield", "Dropdown", "Multiline Textfield", "Checkbox", "Textfield"};

QString describe(QWidget* widget) {
    QString text;
    QDebug(&text) << widget << widget->property("text").toString() << widget->geometry();
    return text;
}

// No two of the widgets overlap, but for the one pair allowed to.
void checkApart(const QList<QWidget*>& widgets, const QSet<QWidget*>& allowed = {}) {
    for (int i = 0; i < widgets.size(); ++i)
        for (int j = 0; j < i; ++j)
            QVERIFY2(!widgets[i]->geometry().intersects(widgets[j]->geometry()) ||
                         (allowed == QSet<QWidget*>{widgets[i], widgets[j]}),
                     qPrintable(describe(widgets[i]) + " overlaps " + describe(widgets[j])));
}

// The text shows whole in the widget, with the margin to spare.
void checkFits(QWidget* widget, const QString& text, int margin = 0) {
    const QFontMetrics fm(widget->font());
    QVERIFY2(fm.horizontalAdvance(text) + margin <= widget->width() &&
                 fm.height() <= widget->height() + 1,
             qPrintable(describe(widget)));
}
} // namespace

class LayoutDpiTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void designedControlsStayApartAndTheirCaptionsFit();
    void inputsAndCaptionsStayApartOnEveryPage();

  private:
    TestEnvironment m_env;
    ScriptedMessages m_messages;
    std::unique_ptr<Form1> m_window;
};

// Also: the window runs at the DPI and pixel ratio CTest asked for.
void LayoutDpiTest::initTestCase() {
    QVariantList values;
    for (int i = 0; i < Names.size(); ++i) {
        const QString type = Types[i % Types.size()];
        m_env.addField(Names[i], type, QString::number(i % 8 + 1), "North,South,[Far East]");
        values << (type == "Checkbox"   ? "1"
                   : type == "Dropdown" ? "[Far East]"
                                        : Names[i] + " of Harriet Okonkwo-Lindqvist");
    }
    m_env.addRecords({values});
    m_window = startRecordWindow(m_messages, m_env);
    QVERIFY2(m_window && m_messages.shown.isEmpty(), qPrintable(m_messages.texts().join('\n')));
    const int fontDpi = qEnvironmentVariableIntValue("QT_FONT_DPI");
    const bool ratio = fontDpi > 0 && qgetenv("QT_ENABLE_HIGHDPI_SCALING") != "0";
    QCOMPARE(m_window->logicalDpiY(), fontDpi > 0 && !ratio ? fontDpi : 96);
    QCOMPARE(m_window->devicePixelRatioF(), ratio ? fontDpi / 96.0 : 1.0);
}

// Frame1 lies over the tab control's page area by design, but leaves the tab row free to click;
// the record counter stands in the tab row, right of the tabs.
void LayoutDpiTest::designedControlsStayApartAndTheirCaptionsFit() {
    auto* tabs = m_window->findChild<QTabWidget*>("SSTab1");
    auto* frame1 = m_window->findChild<QFrame*>("Frame1");
    const auto inWindow = [&](QWidget* w) {
        return QRect(w->mapTo(m_window.get(), QPoint()), w->size());
    };
    QList<QWidget*> controls;
    for (QWidget* w : m_window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisible() && !w->isWindow()) {
            QVERIFY2(m_window->rect().contains(w->geometry()), qPrintable(describe(w)));
            controls << w;
        }
    QVERIFY(controls.contains(tabs) && controls.contains(frame1));
    checkApart(controls, {tabs, frame1});
    QVERIFY2(tabs->geometry().contains(frame1->geometry()), qPrintable(describe(frame1)));
    const QRect tabRow = inWindow(tabs->tabBar());
    const QRect counter = inWindow(m_window->findChild<QLabel*>("lblRecord"));
    QVERIFY(!frame1->geometry().intersects(tabRow) && !frame1->geometry().intersects(counter));
    for (int i = 0; i < tabs->count(); ++i)
        QVERIFY(!tabs->tabBar()->tabRect(i).translated(tabRow.topLeft()).intersects(counter));

    const int margin = int(std::ceil(8 * m_window->logicalDpiX() / 96.0));
    for (auto* button : m_window->findChildren<QPushButton*>())
        checkFits(button, button->text().trimmed(), margin);
    auto* frame2 = m_window->findChild<QGroupBox*>("Frame2");
    checkFits(frame2, frame2->title(), margin);
    for (const char* name : {"Label2", "Label3", "lblRecord"})
        checkFits(m_window->findChild<QLabel*>(name), m_window->findChild<QLabel*>(name)->text());
    // The size boxes show their number in full.
    for (auto* box :
         {m_window->findChild<QLineEdit*>("Text3"), m_window->findChild<QLineEdit*>("Text4")}) {
        QStyleOptionFrame option;
        option.initFrom(box);
        const QRect contents =
            box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
        QVERIFY2(box->fontMetrics().height() <= contents.height() + 2, qPrintable(describe(box)));
    }
}

// On each page, and on the first again: each input stays in Frame1 with its caption left of it
// on its row, read whole; no input or caption overlaps another, and text inputs are tall enough
// for a line of their font.
void LayoutDpiTest::inputsAndCaptionsStayApartOnEveryPage() {
    auto* frame1 = m_window->findChild<QFrame*>("Frame1");
    for (const int page : {0, 1, 0}) {
        m_window->findChild<QTabWidget*>("SSTab1")->setCurrentIndex(page);
        settle(*m_window);
        const QList<QWidget*>& inputs = m_window->mInputControls();
        QList<QWidget*> shown;
        for (auto* label : frame1->findChildren<QLabel*>())
            if (label->isVisible() && inputs.contains(label->buddy())) {
                QWidget* input = label->buddy();
                QVERIFY2(input->isVisible() && frame1->rect().contains(input->geometry()),
                         qPrintable(describe(input)));
                QCOMPARE(label->text(), Names[page * 26 + inputs.indexOf(input)]);
                checkFits(label, label->text());
                QVERIFY2(label->geometry().right() < input->x() && label->y() >= input->y() &&
                             label->y() < input->geometry().bottom(),
                         qPrintable(describe(label) + " is not left of " + describe(input)));
                if (!qobject_cast<QCheckBox*>(input))
                    QVERIFY2(input->fontMetrics().height() <= input->height(),
                             qPrintable(describe(input)));
                shown << label << input;
            }
        QCOMPARE(shown.size(), 2 * inputs.size());
        checkApart(shown);
    }
}

QTEST_MAIN(LayoutDpiTest)
#include "tst_layout_dpi.moc"
