#include "record/form1.h"

#include "app/errortrap.h"
#include "app/flags.h"
#include "app/pointer.h"
#include "app/settings.h"
#include "app/shell.h"
#include "app/twips.h"
#include "import/accessmigration.h"
#include "record/fieldcaption.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/recordset.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>

namespace {
// The designed client area in twips.
constexpr int FormWidth = 10800;
constexpr int FormHeight = 10425;

// A caption a pixel or two wider than its designed box gets slightly tighter letters, so it
// is shown whole without moving or widening the box.
void fitCaption(QLabel* label) {
    QFont font = label->font();
    for (int spacing = 100; spacing >= 90; --spacing) {
        font.setLetterSpacing(QFont::PercentageSpacing, spacing);
        if (QFontMetrics(font, label).horizontalAdvance(label->text()) <= label->width())
            break;
    }
    label->setFont(font);
}

QFont designedFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}
} // namespace

Form1::Form1(MessageService& messages, AppPaths paths, QWidget* parent)
    : QWidget(parent), m_messages(messages), m_paths(std::move(paths)),
      m_records(std::make_unique<Recordset>()) {
    setObjectName(QStringLiteral("Form1"));
    setFont(designedFont());
    createControls();
    connectSignals();
}

Form1::~Form1() = default;

QPushButton* Form1::createButton(const QString& name, const QString& caption, int left, int top,
                                 int width, int height) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    Twips::place(button, left, top, width, height);
    return button;
}

void Form1::createControls() {
    setFixedSize(Twips::toPixelsX(FormWidth, this), Twips::toPixelsY(FormHeight, this));
    PushButton13 = createButton(QStringLiteral("PushButton13"), QStringLiteral("Setup Fields"), 120,
                                120, 1560, 405);
    PushButton4 = createButton(QStringLiteral("PushButton4"), QStringLiteral("Refresh Fields"),
                               1800, 120, 1680, 405);
    PushButton7 =
        createButton(QStringLiteral("PushButton7"), QStringLiteral("Search "), 3600, 120, 960, 405);
    PushButton5 = createButton(QStringLiteral("PushButton5"), QStringLiteral("Export To Excel"),
                               4680, 120, 1920, 405);
    PushButton10 =
        createButton(QStringLiteral("PushButton10"), QStringLiteral("First"), 6720, 120, 720, 405);
    PushButton9 = createButton(QStringLiteral("PushButton9"), QStringLiteral("Previous"), 7560, 120,
                               1080, 405);
    PushButton11 =
        createButton(QStringLiteral("PushButton11"), QStringLiteral("Next"), 8760, 120, 840, 405);
    PushButton12 =
        createButton(QStringLiteral("PushButton12"), QStringLiteral("Last"), 9720, 120, 960, 405);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    Twips::place(SSTab1, 120, 630, 10560, 8340);
    SSTab1->addTab(new QWidget, QStringLiteral("Page 1"));
    // Frame1 starts 360 twips below the tab control's top; the tab row must end above it, or
    // Frame1 covers the tabs' lower edge and takes the clicks there.
    SSTab1->setStyleSheet(QStringLiteral("QTabBar::tab { max-height: %1px; }")
                              .arg(Twips::toPixelsY(990 - 630, this)));

    lblRecord = new QLabel(QStringLiteral("Record 0 of 0"), SSTab1);
    lblRecord->setObjectName(QStringLiteral("lblRecord"));
    lblRecord->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Twips::place(lblRecord, 9255, 45, 1125, 225);

    // Frame1 lies over the page area and holds every generated control.
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::NoFrame);
    Twips::place(Frame1, 135, 990, 10455, 7845);
    Frame1->raise();

    auto* label = new FieldCaption(Frame1);
    label->setText(QStringLiteral("Label1"));
    label->setObjectName(QStringLiteral("Label1"));
    Twips::place(label, 1170, 315, 570, 225);
    Label1.push_back(label);
    auto* text = new QLineEdit(Frame1);
    text->setObjectName(QStringLiteral("Text1"));
    Twips::place(text, 1845, 225, 400, 420);
    Text1.push_back(text);
    auto* multi = new QPlainTextEdit(Frame1);
    multi->setObjectName(QStringLiteral("Text2"));
    Twips::place(multi, 1845, 225, 855, 600);
    multi->setTabChangesFocus(true);
    Text2.push_back(multi);
    auto* check = new QCheckBox(Frame1);
    check->setObjectName(QStringLiteral("Check2"));
    Twips::place(check, 1845, 225, 375, 330);
    Check2.push_back(check);
    auto* combo = new QComboBox(Frame1);
    combo->setObjectName(QStringLiteral("Combo1"));
    Twips::place(combo, 1845, 225, 400, 345);
    Combo1.push_back(combo);
    for (QWidget* w : std::initializer_list<QWidget*>{label, text, multi, check, combo})
        w->hide();

    PushButton3 = createButton(QStringLiteral("PushButton3"), QStringLiteral("Create New Record"),
                               120, 9060, 2280, 400);
    PushButton1 = createButton(QStringLiteral("PushButton1"), QStringLiteral("Edit Current Record"),
                               2520, 9060, 2295, 400);
    PushButton2 = createButton(QStringLiteral("PushButton2"),
                               QStringLiteral("Delete Current Record"), 4920, 9060, 2640, 400);
    PushButton6 = createButton(QStringLiteral("PushButton6"), QStringLiteral("Save Record"), 7680,
                               9060, 1590, 400);
    PushButton8 = createButton(QStringLiteral("PushButton8"), QStringLiteral("Cancel"), 9360, 9060,
                               1320, 405);

    Frame2 = new QGroupBox(
        QStringLiteral("Set Width and Height in pixels For All TestBoxes (0 means default):"),
        this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Twips::place(Frame2, 120, 9540, 10560, 795);
    Label2 = new QLabel(QStringLiteral("Width"), Frame2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Twips::place(Label2, 480, 330, 495, 225);
    Text3 = new QLineEdit(QStringLiteral("0"), Frame2);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->setAccessibleName(QStringLiteral("Width"));
    Twips::place(Text3, 1200, 270, 1425, 375);
    Label3 = new QLabel(QStringLiteral("Height"), Frame2);
    Label3->setObjectName(QStringLiteral("Label3"));
    Twips::place(Label3, 2880, 330, 540, 225);
    Text4 = new QLineEdit(QStringLiteral("0"), Frame2);
    Text4->setObjectName(QStringLiteral("Text4"));
    Text4->setAccessibleName(QStringLiteral("Height"));
    Twips::place(Text4, 3600, 270, 1425, 375);
    fitCaption(Label2);
    fitCaption(Label3);
    Label2->setBuddy(Text3);
    Label3->setBuddy(Text4);

    m_pointer = new PointerFeedback(this);
    m_pointer->watchButtons();
    for (QWidget* w : std::initializer_list<QWidget*>{Label1[0], Label2, Text1[0], Text2[0], Text3,
                                                      Text4, Frame1, Frame2, SSTab1})
        m_pointer->watchForDefault(w);
}

void Form1::connectSignals() {
    const std::pair<QPushButton*, void (Form1::*)()> handlers[] = {
        {PushButton1, &Form1::PushButton1_Click},   {PushButton2, &Form1::PushButton2_Click},
        {PushButton3, &Form1::PushButton3_Click},   {PushButton4, &Form1::PushButton4_Click},
        {PushButton5, &Form1::PushButton5_Click},   {PushButton6, &Form1::PushButton6_Click},
        {PushButton7, &Form1::PushButton7_Click},   {PushButton8, &Form1::PushButton8_Click},
        {PushButton9, &Form1::PushButton9_Click},   {PushButton10, &Form1::PushButton10_Click},
        {PushButton11, &Form1::PushButton11_Click}, {PushButton12, &Form1::PushButton12_Click},
        {PushButton13, &Form1::PushButton13_Click}};
    for (const auto& [button, handler] : handlers)
        connect(button, &QPushButton::clicked, this, handler);
    connectShortcuts();
    connect(SSTab1, &QTabWidget::currentChanged, this, [this](int tab) {
        const int previous = m_shownTab;
        m_shownTab = tab;
        lblRecord->setVisible(tab == 0);
        SSTab1_Click(previous);
    });
    connect(Text3, &QLineEdit::textChanged, this,
            [this](const QString& text) { sizeBoxChanged(SizeSettings::WidthKey, text); });
    connect(Text4, &QLineEdit::textChanged, this,
            [this](const QString& text) { sizeBoxChanged(SizeSettings::HeightKey, text); });
    Text3->installEventFilter(this);
    Text4->installEventFilter(this);
}

// Every command without the mouse. The keys press the button, so the same handler runs with
// the same refusals and messages.
void Form1::connectShortcuts() {
    const std::pair<QPushButton*, QList<QKeySequence>> keys[] = {
        {PushButton13, {QKeySequence(Qt::ALT | Qt::Key_U)}},
        {PushButton4, {QKeySequence(Qt::Key_F5), QKeySequence(Qt::ALT | Qt::Key_R)}},
        {PushButton7, {QKeySequence::Find, QKeySequence(Qt::ALT | Qt::Key_H)}},
        {PushButton5, {QKeySequence(Qt::ALT | Qt::Key_X)}},
        {PushButton10,
         {QKeySequence(Qt::CTRL | Qt::Key_Home), QKeySequence(Qt::ALT | Qt::Key_Home)}},
        {PushButton9, {QKeySequence(Qt::Key_PageUp), QKeySequence(Qt::ALT | Qt::Key_Left)}},
        {PushButton11, {QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::ALT | Qt::Key_Right)}},
        {PushButton12, {QKeySequence(Qt::CTRL | Qt::Key_End), QKeySequence(Qt::ALT | Qt::Key_End)}},
        {PushButton3, {QKeySequence::New, QKeySequence(Qt::ALT | Qt::Key_N)}},
        {PushButton1, {QKeySequence(Qt::Key_F2), QKeySequence(Qt::ALT | Qt::Key_E)}},
        {PushButton2, {QKeySequence(Qt::CTRL | Qt::Key_Delete), QKeySequence(Qt::ALT | Qt::Key_D)}},
        {PushButton6, {QKeySequence::Save, QKeySequence(Qt::ALT | Qt::Key_S)}},
        {PushButton8, {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::ALT | Qt::Key_C)}},
    };
    for (const auto& [button, sequences] : keys) {
        QStringList shown;
        for (const QKeySequence& sequence : sequences) {
            auto* shortcut = new QShortcut(sequence, this);
            shortcut->setContext(Qt::WindowShortcut);
            connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
            shown << sequence.toString(QKeySequence::NativeText);
        }
        button->setToolTip(shown.join(QStringLiteral(", ")));
        button->setAccessibleDescription(button->toolTip());
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && (box == Text3 || box == Text4)) {
        if (event->type() == QEvent::FocusIn) {
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
        } else if (event->type() == QEvent::FocusOut) {
            // Switching to another program or opening a menu does not leave the box.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            // The check runs after the focus has moved; one check per box is pending at most.
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
                !box->property("checkPending").toBool()) {
                box->setProperty("checkPending", true);
                QTimer::singleShot(0, this, [this, box] {
                    box->setProperty("checkPending", false);
                    sizeBoxLeft(box);
                });
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- start-up and shutdown

namespace {
void makeFolder(const QString& path) {
    if (!QDir(path).exists() && !QDir().mkpath(path))
        throw RuntimeError(75, QStringLiteral("Path/File access error: the folder '%1' cannot be "
                                              "created.")
                                   .arg(path));
}
} // namespace

void Form1::createDataFolderAndFile(ErrorTrap& trap) {
    // A new account may not have its data folder yet (~/.local/share): it is made as well.
    trap([&] { makeFolder(m_paths.companyFolder()); });
    trap([&] { makeFolder(m_paths.dataFolder()); });
    trap([&] {
        if (FileExists(m_paths.dataFile()))
            return; // an existing data file is never replaced or examined
        const QString source = FileExists(m_paths.customizedTemplate())
                                   ? m_paths.customizedTemplate()
                                   : m_paths.blankTemplate();
        if (!FileExists(source))
            throw RuntimeError(53, QStringLiteral("File not found: neither '%1' nor '%2' exists, "
                                                  "so no data file was created.")
                                       .arg(m_paths.customizedTemplate(), m_paths.blankTemplate()));
        if (!QFile::copy(source, m_paths.dataFile()))
            throw RuntimeError(75, QStringLiteral("Path/File access error: '%1' cannot be copied "
                                                  "to '%2'.")
                                       .arg(source, m_paths.dataFile()));
    });
}

bool Form1::Form_Load() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    trap([&] { ApplySkin(this, m_paths); });
    createDataFolderAndFile(trap);
    // Import hook: an Access data file is offered for import before it is opened.
    trap([&] { offerAccessImport(m_paths, m_messages, windowRunner(this)); });
    trap([&] { m_pointer->setCustomCursor(loadHandCursor(m_paths.handCursor())); });
    trap([&] {
        setWindowTitle(QStringLiteral("Ledgerloom"));
        setWindowIcon(programIcon());
    });
    trap([&] { SetApplicationTitle(); });
    if (!CheckProvider(m_messages, m_providerServices))
        return false;
    trap([&] { m_connection = OpenConnection(); });
    m_records = std::make_unique<Recordset>();
    m_newRecord = false;
    trap([&] {
        Text3->setText(SizeSettings::width());
        Text4->setText(SizeSettings::height());
    });
    return true;
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_activatedOnce)
        return;
    m_activatedOnce = true;
    // The form is built once the window is up, so it paints while the page is built.
    QTimer::singleShot(0, this, &Form1::Form_Activate);
}

void Form1::Form_Activate() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("Form_Activate"));
    trap([&] {
        if (!gRecordPicked && !m_generating) {
            m_tabClicked = false;
            generateControls(SSTab1->currentIndex());
        }
    });
    gRecordPicked = false;
}

// The program's own windows are modal; when one closes the record window is active again.
void Form1::afterOwnWindowClosed() {
    Form_Activate();
}

bool Form1::Form_QueryUnload() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("Form_QueryUnload"));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    trap([&] {
        if (m_newRecord && m_editing)
            PushButton8_Click();
    });
    trap([&] {
        if (m_records && m_records->State() != adStateClosed)
            m_records->Close();
    });
    trap([&] {
        if (m_connection && m_connection->State() != adStateClosed)
            m_connection->Close();
        m_connection.reset();
    });
    m_inputControls.clear();
    return true;
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
}
