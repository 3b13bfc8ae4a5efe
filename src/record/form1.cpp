#include "record/form1.h"

#include "app/errortrap.h"
#include "app/pointer.h"
#include "app/settings.h"
#include "app/shell.h"
#include "app/twips.h"
#include "import/accessmigration.h"
#include "record/recordbrowser.h"
#include "record/recordlayout.h"
#include "record/recordpage.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/datafilesetup.h"
#include "store/engine.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QUndoStack>

namespace {
// The designed client area in twips.
constexpr int FormWidth = 10800;
constexpr int FormHeight = 10425;

// The designed controls: name, caption and place in twips (relative to their container).
struct DesignedControl {
    const char* name;
    const char* caption;
    QRect twips;
};
const DesignedControl DesignedControls[] = {
    {"PushButton13", "Setup Fields", {120, 120, 1560, 405}},
    {"PushButton4", "Refresh Fields", {1800, 120, 1680, 405}},
    {"PushButton7", "Search ", {3600, 120, 960, 405}},
    {"PushButton5", "Export To Excel", {4680, 120, 1920, 405}},
    {"PushButton10", "First", {6720, 120, 720, 405}},
    {"PushButton9", "Previous", {7560, 120, 1080, 405}},
    {"PushButton11", "Next", {8760, 120, 840, 405}},
    {"PushButton12", "Last", {9720, 120, 960, 405}},
    {"SSTab1", "Page 1", {120, 630, 10560, 8340}},
    {"lblRecord", "Record 0 of 0", {9255, 45, 1125, 225}},
    {"Frame1", "", RecordLayout::Frame1},
    {"PushButton3", "Create New Record", {120, 9060, 2280, 400}},
    {"PushButton1", "Edit Current Record", {2520, 9060, 2295, 400}},
    {"PushButton2", "Delete Current Record", {4920, 9060, 2640, 400}},
    {"PushButton6", "Save Record", {7680, 9060, 1590, 400}},
    {"PushButton8", "Cancel", {9360, 9060, 1320, 405}},
    {"Frame2",
     "Set Width and Height in pixels For All TestBoxes (0 means default):",
     {120, 9540, 10560, 795}},
    {"Label2", "Width", {480, 330, 495, 225}},
    {"Text3", "0", {1200, 270, 1425, 375}},
    {"Label3", "Height", {2880, 330, 540, 225}},
    {"Text4", "0", {3600, 270, 1425, 375}},
};

const DesignedControl& designed(const char* name) {
    for (const DesignedControl& control : DesignedControls)
        if (qstrcmp(control.name, name) == 0)
            return control;
    Q_UNREACHABLE();
}

// Names the widget, gives it its caption when it shows one, and puts it in its place.
template <class Widget> Widget* placeDesigned(Widget* widget, const char* name) {
    const DesignedControl& control = designed(name);
    widget->setObjectName(QLatin1String(control.name));
    Twips::place(widget, control.twips.x(), control.twips.y(), control.twips.width(),
                 control.twips.height());
    return widget;
}

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

QRect Form1::designedTwips(const char* name) {
    return designed(name).twips;
}

Form1::Form1(MessageService& messages, AppPaths paths, Store store, QWidget* parent)
    : QWidget(parent), m_messages(messages), m_paths(std::move(paths)), m_store(std::move(store)),
      m_browser(std::make_unique<RecordBrowser>()) {
    setObjectName(QStringLiteral("Form1"));
    setFont(designedFont());
    createControls();
    connectSignals();
}

Form1::~Form1() = default;

QPushButton* Form1::createButton(const char* name) {
    auto* button =
        placeDesigned(new QPushButton(QString::fromUtf8(designed(name).caption), this), name);
    button->setAutoDefault(false);
    return button;
}

void Form1::createControls() {
    setFixedSize(Twips::toPixelsX(FormWidth, this), Twips::toPixelsY(FormHeight, this));
    PushButton13 = createButton("PushButton13");
    PushButton4 = createButton("PushButton4");
    PushButton7 = createButton("PushButton7");
    PushButton5 = createButton("PushButton5");
    PushButton10 = createButton("PushButton10");
    PushButton9 = createButton("PushButton9");
    PushButton11 = createButton("PushButton11");
    PushButton12 = createButton("PushButton12");

    SSTab1 = placeDesigned(new QTabWidget(this), "SSTab1");
    SSTab1->addTab(new QWidget, QString::fromUtf8(designed("SSTab1").caption));
    // Frame1 starts 360 twips below the tab control's top; the tab row must end above it, or
    // Frame1 covers the tabs' lower edge and takes the clicks there.
    SSTab1->setStyleSheet(
        QStringLiteral("QTabBar::tab { max-height: %1px; }")
            .arg(Twips::toPixelsY(RecordLayout::Frame1.top() - designed("SSTab1").twips.top(),
                                  this)));

    lblRecord = placeDesigned(new QLabel(designed("lblRecord").caption, SSTab1), "lblRecord");
    lblRecord->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Frame1 lies over the page area and holds every generated control.
    Frame1 = placeDesigned(new QFrame(this), "Frame1");
    Frame1->setFrameShape(QFrame::NoFrame);
    Frame1->raise();

    PushButton3 = createButton("PushButton3");
    PushButton1 = createButton("PushButton1");
    PushButton2 = createButton("PushButton2");
    PushButton6 = createButton("PushButton6");
    PushButton8 = createButton("PushButton8");

    Frame2 = placeDesigned(new QGroupBox(designed("Frame2").caption, this), "Frame2");
    Label2 = placeDesigned(new QLabel(designed("Label2").caption, Frame2), "Label2");
    Text3 = placeDesigned(new QLineEdit(designed("Text3").caption, Frame2), "Text3");
    Text3->setAccessibleName(Label2->text());
    Label3 = placeDesigned(new QLabel(designed("Label3").caption, Frame2), "Label3");
    Text4 = placeDesigned(new QLineEdit(designed("Text4").caption, Frame2), "Text4");
    Text4->setAccessibleName(Label3->text());
    fitCaption(Label2);
    fitCaption(Label3);
    Label2->setBuddy(Text3);
    Label3->setBuddy(Text4);

    m_pointer = new PointerFeedback(this);
    m_pointer->watchButtons();
    for (QWidget* w : std::initializer_list<QWidget*>{Label2, Text3, Text4, Frame1, Frame2, SSTab1})
        m_pointer->watchForDefault(w);
    m_page = std::make_unique<RecordPage>(Frame1, *m_pointer);
    createMenus();
}

// The menu bar stands above the designed controls: the window grows by its height and every
// control moves down by as much, keeping its place in the area below.
void Form1::createMenus() {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
    m_changes = new QUndoStack(this);
    QMenu* file = m_menuBar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("menuFile"));
    QAction* print =
        file->addAction(QStringLiteral("Print Record..."), this, &Form1::printRecordClicked);
    print->setObjectName(QStringLiteral("actionPrintRecord"));
    print->setShortcut(QKeySequence::Print);
    print->setShortcutContext(Qt::WindowShortcut);
    addAction(print);
    file->addAction(QStringLiteral("Export PDF..."), this, &Form1::exportRecordPdfClicked)
        ->setObjectName(QStringLiteral("actionExportPdf"));
    QMenu* edit = m_menuBar->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("menuEdit"));
    // The keys act from anywhere in the window but an input, which keeps them for its text.
    const auto addStep = [&](const char* name, const QString& word, auto handler,
                             QList<QKeySequence> keys, auto textChanged, auto canChanged) {
        QAction* action = edit->addAction(word, this, handler);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setEnabled(false);
        addAction(action);
        connect(m_changes, textChanged, action, [action, word](const QString& what) {
            action->setText(what.isEmpty() ? word : word + QLatin1Char(' ') + what);
        });
        connect(m_changes, canChanged, action, &QAction::setEnabled);
    };
    addStep("actionUndo", QStringLiteral("Undo"), &Form1::undoClicked,
            {QKeySequence(Qt::CTRL | Qt::Key_Z)}, &QUndoStack::undoTextChanged,
            &QUndoStack::canUndoChanged);
    addStep("actionRedo", QStringLiteral("Redo"), &Form1::redoClicked,
            {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
            &QUndoStack::redoTextChanged, &QUndoStack::canRedoChanged);
    QMenu* records = m_menuBar->addMenu(QStringLiteral("Records"));
    records->setObjectName(QStringLiteral("menuRecords"));
    QAction* deleted = records->addAction(QStringLiteral("Deleted Records..."), this,
                                          &Form1::deletedRecordsClicked);
    deleted->setObjectName(QStringLiteral("actionDeletedRecords"));
    QAction* table =
        records->addAction(QStringLiteral("Table View"), this, &Form1::tableViewClicked);
    table->setObjectName(QStringLiteral("actionTableView"));
    table->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    table->setShortcutContext(Qt::WindowShortcut);
    addAction(table);
    const int height = m_menuBar->sizeHint().height();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child != m_menuBar && !child->isWindow())
            child->move(child->x(), child->y() + height);
    m_menuBar->setGeometry(0, 0, Twips::toPixelsX(FormWidth, this), height);
    setFixedSize(Twips::toPixelsX(FormWidth, this), Twips::toPixelsY(FormHeight, this) + height);
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

bool Form1::Form_Load() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    trap([&] { ApplySkin(this, m_paths); });
    // Records kept on a server need no local data file.
    if (!m_store.localDataFile().isEmpty()) {
        trap([&] { DataFileSetup::makeCompanyFolder(m_paths); });
        trap([&] { DataFileSetup::makeDataFolder(m_paths); });
        trap([&] { DataFileSetup::copyTemplateIfMissing(m_paths); });
        // An Access data file is offered for import before it is opened.
        trap([&] { offerAccessImport(m_paths, m_messages, windowRunner(this)); });
    }
    trap([&] { m_pointer->setCustomCursor(loadHandCursor(m_paths.handCursor())); });
    trap([&] {
        setWindowTitle(QStringLiteral("Ledgerloom"));
        setWindowIcon(programIcon());
    });
    trap([&] { SetApplicationTitle(); });
    if (!CheckProvider(m_messages, m_providerServices))
        return false;
    trap([&] { m_connection = m_store.open(); });
    // Whoever shares the records sees which store the window works on.
    trap([&] {
        if (const QString detail = m_connection ? m_connection->engine().titleDetail() : QString();
            !detail.isEmpty())
            setWindowTitle(QStringLiteral("Ledgerloom - %1").arg(detail));
    });
    m_browser = std::make_unique<RecordBrowser>();
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
    trap([&] { generateControls(SSTab1->currentIndex()); });
}

// The program's own windows are modal; when one closes the record window is active again.
void Form1::afterOwnWindowClosed() {
    Form_Activate();
}

bool Form1::Form_QueryUnload() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("Form_QueryUnload"));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    trap([&] {
        if (m_browser->newRecord() && m_browser->editing())
            PushButton8_Click();
    });
    trap([&] { forgetChanges(0); });
    trap([&] { m_browser->close(); });
    trap([&] {
        if (m_connection && m_connection->State() != adStateClosed)
            m_connection->Close();
        m_connection.reset();
    });
    m_page->unload(false);
    return true;
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
}
