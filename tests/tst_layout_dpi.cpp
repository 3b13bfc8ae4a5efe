// The record window's layout at the logical DPI the test runs with. CTest runs this program
// at 96 DPI and again with QT_ENABLE_HIGHDPI_SCALING=0 and QT_FONT_DPI=144 or 192, which gives
// the offscreen screen that logical DPI, so twips become fewer, larger pixels and the fonts
// grow with them; a run with QT_FONT_DPI alone keeps 96 DPI and scales by the pixel ratio.
#include "app/twips.h"
#include "record/form1.h"
#include "support/testsupport.h"

#include <QtTest>
#include <QtWidgets>
#include <cmath>

namespace {
// Thirty fields, so the window has a full first page (two columns of 13) and a second page.
// Names are of the length users give them; several do not fit the space before the input.
// Each is name;type;length;values, and they are apart by '|'.
const QStringList Fields =
    QStringLiteral(
        "Name;Textfield;8;|Street address;Textfield;8;|City;Textfield;5;|Postcode;Textfield;3;|"
        "Country;Dropdown;5;Austria,Belgium,Denmark,[Norway]|Phone;Textfield;5;|"
        "Notes;Multiline Textfield;8;|Member;Checkbox;1;Yes|Joined;Textfield;3;|"
        "Plan;Dropdown;4;Basic,Plus,Gold|Visit notes;Multiline Textfield;8;|Balance;Textfield;3;|"
        "Newsletter;Checkbox;1;No|Company;Textfield;8;|Department;Textfield;6;|"
        "Position;Textfield;6;|Status;Dropdown;4;Open,Closed|Priority;Dropdown;3;High,Low|"
        "Active;Checkbox;1;yes|Website;Textfield;8;|Referred by;Textfield;6;|"
        "Comments;Multiline Textfield;8;|Last contact;Textfield;3;|Paid;Checkbox;1;|"
        "Rating;Dropdown;2;1,2,3,4,5|Tax;Textfield;2;|Extra;Textfield;4;|"
        "Region;Dropdown;4;North,South|Archive;Checkbox;1;|Remarks;Multiline Textfield;8;")
        .split('|');
QString fieldPart(int field, int part) {
    return Fields[field].section(';', part, part);
}
const int FieldCount = int(Fields.size());

QRect rectIn(QWidget* widget, QWidget* ancestor) {
    return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}

QString describe(QWidget* widget) {
    QString text;
    if (auto* label = qobject_cast<QLabel*>(widget))
        text = label->text();
    else if (auto* button = qobject_cast<QPushButton*>(widget))
        text = button->text();
    QDebug(&text).noquote() << "in" << widget->objectName() << "at" << widget->geometry();
    return text;
}

} // namespace

class LayoutDpiTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void runsAtTheRequestedDpi();
    void designedControlsStayApartAndTheirCaptionsFit();
    void generatedInputsAndCaptionsKeepTheirRowsOnEveryPage();

  private:
    void checkPage(int page);
    void saveScreenshot(const QString& name);

    std::unique_ptr<TestEnvironment> m_env;
    ScriptedMessages m_messages;
    std::unique_ptr<Form1> m_window;
};

void LayoutDpiTest::initTestCase() {
    m_env = std::make_unique<TestEnvironment>();
    QVariantList first, second;
    for (int i = 0; i < FieldCount; ++i) {
        m_env->addField(fieldPart(i, 0), fieldPart(i, 1), fieldPart(i, 2), fieldPart(i, 3));
        const QString type = fieldPart(i, 1).toLower();
        if (type == QLatin1String("checkbox")) {
            first << "1";
            second << "0";
        } else if (type == QLatin1String("dropdown")) {
            const QStringList items = fieldPart(i, 3).split(',');
            first << items.first();
            second << items.last();
        } else {
            first << QStringLiteral("%1 of Harriet Okonkwo-Lindqvist").arg(fieldPart(i, 0));
            second << QStringLiteral("W");
        }
    }
    m_env->addRecords({first, second});
    m_window = startRecordWindow(m_messages, *m_env);
    QVERIFY(m_window);
    QVERIFY2(m_messages.shown.isEmpty(), qPrintable(m_messages.texts().join('\n')));
}

void LayoutDpiTest::saveScreenshot(const QString& name) {
    const QPixmap shot = m_window->grab();
    QVERIFY(!shot.isNull());
    QCOMPARE(shot.deviceIndependentSize().toSize(), m_window->size());
    const QString folder = QDir::current().filePath(QStringLiteral("layout_dpi/%1dpi-x%2")
                                                        .arg(m_window->logicalDpiX())
                                                        .arg(m_window->devicePixelRatioF()));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(shot.save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
}

void LayoutDpiTest::runsAtTheRequestedDpi() {
    const int fontDpi = qEnvironmentVariableIntValue("QT_FONT_DPI");
    const bool ratio = fontDpi > 0 && qgetenv("QT_ENABLE_HIGHDPI_SCALING") != "0";
    const int dpi = fontDpi > 0 && !ratio ? fontDpi : 96;
    QCOMPARE(m_window->logicalDpiX(), dpi);
    QCOMPARE(m_window->logicalDpiY(), dpi);
    QCOMPARE(m_window->devicePixelRatioF(), ratio ? fontDpi / 96.0 : 1.0);
    QCOMPARE(Twips::perPixelX(m_window.get()), 1440.0 / dpi);
    // The designed client area, 10800 x 10425 twips.
    QCOMPARE(m_window->width(), qRound(10800.0 * dpi / 1440));
    QCOMPARE(m_window->height(), qRound(10425.0 * dpi / 1440));
    QCOMPARE(m_window->font().family(), QStringLiteral("Arial"));
    saveScreenshot(QStringLiteral("page1"));
}

// The buttons among themselves and against the tab control and both frames; Frame1 is laid
// over the tab control's page area by design, but must leave the tab row free to click.
void LayoutDpiTest::designedControlsStayApartAndTheirCaptionsFit() {
    auto* tabs = m_window->findChild<QTabWidget*>(QStringLiteral("SSTab1"));
    auto* frame1 = m_window->findChild<QFrame*>(QStringLiteral("Frame1"));
    auto* frame2 = m_window->findChild<QGroupBox*>(QStringLiteral("Frame2"));
    QVERIFY(tabs && frame1 && frame2);
    QList<QWidget*> children;
    int buttons = 0;
    for (QWidget* w : m_window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisible() || w->isWindow())
            continue;
        QVERIFY2(m_window->rect().contains(w->geometry()), qPrintable(describe(w)));
        for (QWidget* other : children) {
            if (QSet<QWidget*>{w, other} == QSet<QWidget*>{tabs, frame1})
                continue;
            QVERIFY2(!w->geometry().intersects(other->geometry()),
                     qPrintable(describe(w) + " overlaps " + describe(other)));
        }
        children << w;
        buttons += bool(qobject_cast<QPushButton*>(w));
    }
    QCOMPARE(buttons, 13);
    QVERIFY2(tabs->geometry().contains(frame1->geometry()), qPrintable(describe(frame1)));
    const QRect tabRow = rectIn(tabs->tabBar(), m_window.get());
    QVERIFY2(!frame1->geometry().intersects(tabRow), qPrintable(describe(frame1)));

    // The record counter stands in the tab row, right of the tabs.
    auto* counter = m_window->findChild<QLabel*>(QStringLiteral("lblRecord"));
    QVERIFY(counter && counter->isVisible());
    QCOMPARE(counter->text(), QStringLiteral("Record 1 of 2"));
    const QRect counterRect = rectIn(counter, m_window.get());
    for (int i = 0; i < tabs->count(); ++i) {
        const QRect tab = tabs->tabBar()->tabRect(i).translated(tabRow.topLeft());
        QVERIFY2(!tab.intersects(counterRect), qPrintable(describe(counter)));
    }
    QVERIFY2(!frame1->geometry().intersects(counterRect), qPrintable(describe(counter)));

    // Captions fit their buttons, frame and labels; the size boxes show their number in full.
    const int margin = int(std::ceil(8 * m_window->logicalDpiX() / 96.0));
    for (auto* button : m_window->findChildren<QPushButton*>()) {
        const QFontMetrics fm(button->font());
        QVERIFY2(fm.horizontalAdvance(button->text().trimmed()) + margin <= button->width() &&
                     fm.height() <= button->height(),
                 qPrintable(describe(button)));
    }
    QVERIFY2(QFontMetrics(frame2->font()).horizontalAdvance(frame2->title()) + margin <=
                 frame2->width(),
             qPrintable(describe(frame2)));
    for (const char* name : {"Label2", "Label3", "lblRecord"}) {
        auto* label = m_window->findChild<QLabel*>(QLatin1String(name));
        QVERIFY(label);
        const QFontMetrics fm(label->font());
        QVERIFY2(fm.horizontalAdvance(label->text()) <= label->width() &&
                     fm.height() <= label->height() + 1,
                 qPrintable(describe(label)));
    }
    for (const char* name : {"Text3", "Text4"}) {
        auto* box = m_window->findChild<QLineEdit*>(QLatin1String(name));
        QVERIFY(box);
        QStyleOptionFrame option;
        option.initFrom(box);
        const QRect contents =
            box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
        QVERIFY2(box->fontMetrics().height() <= contents.height() + 2, qPrintable(describe(box)));
    }
}

// Inputs of one column never overlap, stay inside Frame1 and clear the other column; each
// shows its value in a box tall enough for one line of its font. Each caption stands 90 twips
// below its input's top, left of it, and grows into the room before it to be read whole
// ("Street address", "Department" and the like are longer than the designed label).
void LayoutDpiTest::checkPage(int page) {
    auto* frame1 = m_window->findChild<QFrame*>(QStringLiteral("Frame1"));
    const QList<QWidget*>& inputs = m_window->mInputControls();
    const int expected = page == 0 ? 26 : FieldCount - 26;
    QCOMPARE(inputs.size(), expected);
    QList<QLabel*> labels;
    for (auto* label : frame1->findChildren<QLabel*>(QStringLiteral("Label1")))
        if (label->isVisible())
            labels << label;
    QCOMPARE(labels.size(), expected);
    QList<QWidget*> columns[2];
    const int secondColumnLeft = Twips::toPixelsX(6500, frame1);
    for (int i = 0; i < expected; ++i) {
        QWidget* input = inputs[i];
        QVERIFY2(input->isVisible(), qPrintable(describe(input)));
        QCOMPARE(input->parentWidget(), frame1);
        QVERIFY2(frame1->rect().contains(input->geometry()), qPrintable(describe(input)));
        columns[input->x() >= secondColumnLeft ? 1 : 0] << input;
        if (!qobject_cast<QCheckBox*>(input))
            QVERIFY2(input->fontMetrics().height() <= input->height(), qPrintable(describe(input)));

        QLabel* caption = nullptr;
        for (QLabel* label : labels)
            if (std::abs(label->y() - input->y() - Twips::toPixelsY(90, frame1)) <= 1 &&
                label->x() < input->x() && (!caption || label->x() > caption->x()))
                caption = label;
        QVERIFY2(caption, qPrintable("no caption left of " + describe(input)));
        QCOMPARE(caption->text(), fieldPart(page * 26 + i, 0));
        QVERIFY2(caption->geometry().right() < input->x(),
                 qPrintable(describe(caption) + " runs under " + describe(input)));
        const QFontMetrics fm = caption->fontMetrics();
        QVERIFY2(fm.height() <= caption->height() + 1 &&
                     fm.horizontalAdvance(caption->text()) <= caption->width(),
                 qPrintable(describe(caption)));
    }
    QCOMPARE(columns[0].size(), std::min(expected, 13));
    QCOMPARE(columns[1].size(), std::max(0, expected - 13));
    for (auto& column : columns) {
        std::sort(column.begin(), column.end(),
                  [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
        for (int i = 1; i < column.size(); ++i)
            QVERIFY2(!column[i - 1]->geometry().intersects(column[i]->geometry()),
                     qPrintable(describe(column[i - 1]) + " overlaps " + describe(column[i])));
    }
    for (QWidget* left : columns[0])
        QVERIFY2(left->geometry().right() < secondColumnLeft, qPrintable(describe(left)));
}

void LayoutDpiTest::generatedInputsAndCaptionsKeepTheirRowsOnEveryPage() {
    auto* tabs = m_window->findChild<QTabWidget*>(QStringLiteral("SSTab1"));
    QCOMPARE(tabs->count(), 2);
    checkPage(0);
    tabs->setCurrentIndex(1);
    settle(*m_window);
    checkPage(1);
    saveScreenshot(QStringLiteral("page2"));
    tabs->setCurrentIndex(0);
    settle(*m_window);
    checkPage(0);
}

QTEST_MAIN(LayoutDpiTest)
#include "tst_layout_dpi.moc"
