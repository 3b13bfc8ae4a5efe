// The record window's layout at the logical DPI the test runs with. CTest runs this program
// at 96 DPI and again with QT_ENABLE_HIGHDPI_SCALING=0 and QT_FONT_DPI=144 or 192, which gives
// the offscreen screen that logical DPI, so twips become fewer, larger pixels and the fonts
// grow with them; a run with QT_FONT_DPI alone keeps 96 DPI and scales by the pixel ratio.
#include "app/twips.h"
#include "record/form1.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <cmath>

namespace {
struct Field {
    const char* name;
    const char* type;
    const char* length;
    const char* values;
};

// Thirty fields, so the window has a full first page (two columns of 13) and a second page.
// Names are of the length users give them; several do not fit the space before the input.
const Field Fields[] = {
    {"Name", "Textfield", "8", ""},
    {"Street address", "Textfield", "8", ""},
    {"City", "Textfield", "5", ""},
    {"Postcode", "Textfield", "3", ""},
    {"Country", "Dropdown", "5", "Austria,Belgium,Denmark,[Norway]"},
    {"Phone", "Textfield", "5", ""},
    {"Notes", "Multiline Textfield", "8", ""},
    {"Member", "Checkbox", "1", "Yes"},
    {"Joined", "Textfield", "3", ""},
    {"Plan", "Dropdown", "4", "Basic,Plus,Gold"},
    {"Visit notes", "Multiline Textfield", "8", ""},
    {"Balance", "Textfield", "3", ""},
    {"Newsletter", "Checkbox", "1", "No"},
    {"Company", "Textfield", "8", ""},
    {"Department", "Textfield", "6", ""},
    {"Position", "Textfield", "6", ""},
    {"Status", "Dropdown", "4", "Open,Closed"},
    {"Priority", "Dropdown", "3", "High,Low"},
    {"Active", "Checkbox", "1", "yes"},
    {"Website", "Textfield", "8", ""},
    {"Referred by", "Textfield", "6", ""},
    {"Comments", "Multiline Textfield", "8", ""},
    {"Last contact", "Textfield", "3", ""},
    {"Paid", "Checkbox", "1", ""},
    {"Rating", "Dropdown", "2", "1,2,3,4,5"},
    {"Tax", "Textfield", "2", ""},
    {"Extra", "Textfield", "4", ""},
    {"Region", "Dropdown", "4", "North,South"},
    {"Archive", "Checkbox", "1", ""},
    {"Remarks", "Multiline Textfield", "8", ""},
};
constexpr int FieldCount = int(std::size(Fields));

QRect rectIn(QWidget* widget, QWidget* ancestor) {
    return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}

QString describe(QWidget* widget) {
    const auto* label = qobject_cast<QLabel*>(widget);
    const auto* button = qobject_cast<QPushButton*>(widget);
    const QString text = label ? label->text() : button ? button->text() : QString();
    const QRect g = widget->geometry();
    return QStringLiteral("%1 '%2' at %3,%4 %5x%6")
        .arg(widget->objectName(), text)
        .arg(g.x())
        .arg(g.y())
        .arg(g.width())
        .arg(g.height());
}

// Pixels for a distance given in pixels at 96 DPI.
int scaled(int pixelsAt96, const QWidget* widget) {
    return int(std::ceil(pixelsAt96 * widget->logicalDpiX() / 96.0));
}
} // namespace

class LayoutDpiTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void runsAtTheRequestedDpi();
    void designedControlsStayApart();
    void buttonAndFrameCaptionsFit();
    void generatedInputsKeepTheirRowsOnEveryPage();
    void fieldCaptionsFitOrAreElided();
    void cleanupTestCase();

  private:
    QList<QWidget*> visibleChildren(QWidget* parent) const;
    void checkPage(int page);
    void saveScreenshot(const QString& name);

    std::unique_ptr<TestEnvironment> m_env;
    ScriptedMessages m_messages;
    std::unique_ptr<Form1> m_window;
    int m_expectedDpi = 96;
    double m_expectedRatio = 1.0;
};

void LayoutDpiTest::initTestCase() {
    const int fontDpi = qEnvironmentVariableIntValue("QT_FONT_DPI");
    const bool scaling = qgetenv("QT_ENABLE_HIGHDPI_SCALING") != "0";
    if (fontDpi > 0 && !scaling)
        m_expectedDpi = fontDpi;
    else if (fontDpi > 0)
        m_expectedRatio = fontDpi / 96.0;

    m_env = std::make_unique<TestEnvironment>();
    for (const Field& f : Fields)
        m_env->addField(f.name, f.type, f.length, f.values);
    QVariantList first, second;
    for (int i = 0; i < FieldCount; ++i) {
        const QString type = QString::fromLatin1(Fields[i].type).toLower();
        if (type == QLatin1String("checkbox")) {
            first << "1";
            second << "0";
        } else if (type == QLatin1String("dropdown")) {
            const QStringList items = QString::fromLatin1(Fields[i].values).split(',');
            first << items.first();
            second << items.last();
        } else {
            first << QStringLiteral("%1 of Harriet Okonkwo-Lindqvist").arg(Fields[i].name);
            second << QStringLiteral("W");
        }
    }
    m_env->addRecords({first, second});
    m_window = startRecordWindow(m_messages, *m_env);
    QVERIFY(m_window);
    QVERIFY2(m_messages.shown.isEmpty(), qPrintable(m_messages.texts().join('\n')));
    QCOMPARE(m_window->mInputControls().size(), 26);
}

void LayoutDpiTest::cleanupTestCase() {
    m_window.reset();
    m_env.reset();
}

QList<QWidget*> LayoutDpiTest::visibleChildren(QWidget* parent) const {
    QList<QWidget*> result;
    for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisible() && !w->isWindow())
            result << w;
    return result;
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
    QCOMPARE(m_window->logicalDpiX(), m_expectedDpi);
    QCOMPARE(m_window->logicalDpiY(), m_expectedDpi);
    QCOMPARE(m_window->devicePixelRatioF(), m_expectedRatio);
    QCOMPARE(Twips::perPixelX(m_window.get()), 1440.0 / m_expectedDpi);
    // The designed client area, 10800 x 10425 twips.
    QCOMPARE(m_window->width(), qRound(10800.0 * m_expectedDpi / 1440));
    QCOMPARE(m_window->height(), qRound(10425.0 * m_expectedDpi / 1440));
    QCOMPARE(m_window->font().family(), QStringLiteral("Arial"));
    saveScreenshot(QStringLiteral("page1"));
}

// The buttons among themselves and against the tab control and both frames; Frame1 is laid
// over the tab control's page area by design, but must leave the tab row free to click.
void LayoutDpiTest::designedControlsStayApart() {
    auto* tabs = m_window->findChild<QTabWidget*>(QStringLiteral("SSTab1"));
    auto* frame1 = m_window->findChild<QFrame*>(QStringLiteral("Frame1"));
    auto* frame2 = m_window->findChild<QGroupBox*>(QStringLiteral("Frame2"));
    QVERIFY(tabs && frame1 && frame2);
    const QList<QWidget*> children = visibleChildren(m_window.get());
    QList<QWidget*> buttons;
    for (QWidget* w : children)
        if (qobject_cast<QPushButton*>(w))
            buttons << w;
    QCOMPARE(buttons.size(), 13);

    const QRect client = m_window->rect();
    for (QWidget* w : children)
        QVERIFY2(client.contains(w->geometry()), qPrintable(describe(w)));
    for (int i = 0; i < children.size(); ++i) {
        for (int j = i + 1; j < children.size(); ++j) {
            QWidget* a = children[i];
            QWidget* b = children[j];
            if ((a == tabs && b == frame1) || (a == frame1 && b == tabs))
                continue;
            QVERIFY2(!a->geometry().intersects(b->geometry()),
                     qPrintable(describe(a) + QStringLiteral(" overlaps ") + describe(b)));
        }
    }
    QVERIFY2(tabs->geometry().contains(frame1->geometry()), qPrintable(describe(frame1)));
    const QRect tabRow = rectIn(tabs->tabBar(), m_window.get());
    QVERIFY2(!frame1->geometry().intersects(tabRow),
             qPrintable(describe(frame1) + QStringLiteral(" covers the tab row %1,%2 %3x%4")
                                               .arg(tabRow.x())
                                               .arg(tabRow.y())
                                               .arg(tabRow.width())
                                               .arg(tabRow.height())));

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
}

void LayoutDpiTest::buttonAndFrameCaptionsFit() {
    const int margin = scaled(8, m_window.get());
    for (auto* button : m_window->findChildren<QPushButton*>()) {
        const QFontMetrics fm(button->font());
        const int needed = fm.horizontalAdvance(button->text().trimmed()) + margin;
        QVERIFY2(needed <= button->width(),
                 qPrintable(describe(button) + QStringLiteral(" needs %1").arg(needed)));
        QVERIFY2(fm.height() <= button->height(), qPrintable(describe(button)));
    }
    auto* frame2 = m_window->findChild<QGroupBox*>(QStringLiteral("Frame2"));
    QVERIFY(frame2);
    QVERIFY2(QFontMetrics(frame2->font()).horizontalAdvance(frame2->title()) + margin <=
                 frame2->width(),
             qPrintable(describe(frame2)));
    for (const char* name : {"Label2", "Label3", "lblRecord"}) {
        auto* label = m_window->findChild<QLabel*>(QLatin1String(name));
        QVERIFY(label);
        const QFontMetrics fm(label->font());
        QVERIFY2(fm.horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(describe(label)));
        QVERIFY2(fm.height() <= label->height() + 1, qPrintable(describe(label)));
    }
    // The size boxes show their number in full.
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
// shows its value in a box tall enough for one line of its font.
void LayoutDpiTest::checkPage(int page) {
    auto* frame1 = m_window->findChild<QFrame*>(QStringLiteral("Frame1"));
    const QList<QWidget*>& inputs = m_window->mInputControls();
    const int expected = page == 0 ? 26 : FieldCount - 26;
    QCOMPARE(inputs.size(), expected);
    QList<QWidget*> columns[2];
    const int secondColumnLeft = Twips::toPixelsX(6500, frame1);
    for (QWidget* input : inputs) {
        QVERIFY2(input->isVisible(), qPrintable(describe(input)));
        QCOMPARE(input->parentWidget(), frame1);
        QVERIFY2(frame1->rect().contains(input->geometry()), qPrintable(describe(input)));
        columns[input->x() >= secondColumnLeft ? 1 : 0] << input;
        if (!qobject_cast<QCheckBox*>(input))
            QVERIFY2(input->fontMetrics().height() <= input->height(), qPrintable(describe(input)));
    }
    QCOMPARE(columns[0].size(), std::min(expected, 13));
    QCOMPARE(columns[1].size(), std::max(0, expected - 13));
    for (auto& column : columns) {
        std::sort(column.begin(), column.end(),
                  [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
        for (int i = 1; i < column.size(); ++i)
            QVERIFY2(!column[i - 1]->geometry().intersects(column[i]->geometry()),
                     qPrintable(describe(column[i - 1]) + QStringLiteral(" overlaps ") +
                                describe(column[i])));
    }
    for (QWidget* left : columns[0])
        QVERIFY2(left->geometry().right() < secondColumnLeft, qPrintable(describe(left)));
}

void LayoutDpiTest::generatedInputsKeepTheirRowsOnEveryPage() {
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

// A field caption never runs under its input: it grows into the room before it and is read
// whole; only a name longer than that room is shortened, with the whole name in its tooltip.
void LayoutDpiTest::fieldCaptionsFitOrAreElided() {
    auto* frame1 = m_window->findChild<QFrame*>(QStringLiteral("Frame1"));
    const QList<QWidget*>& inputs = m_window->mInputControls();
    int elided = 0;
    QList<QLabel*> labels;
    for (auto* label : frame1->findChildren<QLabel*>(QStringLiteral("Label1")))
        if (label->isVisible())
            labels << label;
    QCOMPARE(labels.size(), inputs.size());
    const int labelDrop = Twips::toPixelsY(90, frame1);
    for (int i = 0; i < inputs.size(); ++i) {
        // The caption of a row stands 90 twips below its input's top: the nearest label left
        // of the input.
        QLabel* nearest = nullptr;
        for (QLabel* label : labels)
            if (std::abs(label->y() - inputs[i]->y() - labelDrop) <= 1 &&
                label->x() < inputs[i]->x() && (!nearest || label->x() > nearest->x()))
                nearest = label;
        QVERIFY2(nearest, qPrintable(QStringLiteral("no caption left of ") + describe(inputs[i])));
        QLabel* label = nearest;
        QCOMPARE(label->text(), QString::fromLatin1(Fields[i].name));
        QVERIFY2(
            label->geometry().right() < inputs[i]->x(),
            qPrintable(describe(label) + QStringLiteral(" runs under ") + describe(inputs[i])));
        QVERIFY2(label->fontMetrics().height() <= label->height() + 1, qPrintable(describe(label)));
        const bool fits = label->fontMetrics().horizontalAdvance(label->text()) <= label->width();
        if (!fits) {
            ++elided;
            QCOMPARE(label->toolTip(), label->text());
        }
    }
    // "Street address", "Department" and the like are longer than the designed label, but the
    // room before their inputs holds them.
    QCOMPARE(elided, 0);
}

QTEST_MAIN(LayoutDpiTest)
#include "tst_layout_dpi.moc"
