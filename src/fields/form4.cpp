#include "fields/form4.h"

#include "app/errortrap.h"
#include "app/longwork.h"
#include "app/messages.h"
#include "app/pointer.h"
#include "app/recordwindowlink.h"
#include "app/shell.h"
#include "app/twips.h"
#include "export/csvexport.h"
#include "fields/columnmapping.h"
#include "fields/form2.h"
#include "import/importcommand.h"
#include "import/importer.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/fielddefinition.h"
#include "store/fieldrules.h"
#include "store/schema.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <atomic>

namespace {
// The designed client area in twips.
constexpr int FormWidth = 8040;
constexpr int FormHeight = 5400; // the designed 4890 and a row for import and export

enum ListColumn {
    CaptionColumn = 0,
    TypeColumn = 1,
    SizeColumn = 2,
    ValuesColumn = 3,
    ChecksColumn = 4
};
} // namespace

Form4::Form4(MessageService& messages, const AppPaths& paths, const Store& store,
             RecordWindowLink& recordWindow, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_paths(paths), m_store(store),
      m_recordWindow(recordWindow) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Setup Fields"));
    createControls();
    connectSignals();
    Form_Load();
}

Form4::~Form4() = default;

void Form4::createControls() {
    setFixedSize(Twips::toPixelsX(FormWidth, this), Twips::toPixelsY(FormHeight, this));
    const auto button = [this](const QString& name, const QString& caption, int left, int top,
                               int width, int height) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        Twips::place(b, left, top, width, height);
        return b;
    };
    PushButton2 = button(QStringLiteral("PushButton2"), QStringLiteral("Create New Field"), 120,
                         120, 2280, 405);
    PushButton3 = button(QStringLiteral("PushButton3"), QStringLiteral("Delete Selected Field"),
                         2520, 120, 2640, 405);
    PushButton5 = button(QStringLiteral("PushButton5"), QStringLiteral("Update Selected Field"),
                         5280, 120, 2640, 405);

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Fields"));
    ListView1->setHeaderLabels({QStringLiteral("Field Caption"), QStringLiteral("Field Type"),
                                QStringLiteral("Field Size"), QStringLiteral("Field Values"),
                                QStringLiteral("Checks")});
    ListView1->setToolTip(QStringLiteral("Double click to edit"));
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Twips::place(ListView1, 120, 630, 7800, 3660);
    ListView1->setColumnWidth(CaptionColumn, Twips::toPixelsX(2000, this));
    ListView1->setColumnWidth(TypeColumn, Twips::toPixelsX(1700, this));
    ListView1->setColumnWidth(SizeColumn, Twips::toPixelsX(1000, this));
    ListView1->setColumnWidth(ValuesColumn, Twips::toPixelsX(1200, this));

    importButton =
        button(QStringLiteral("importButton"), QStringLiteral("Import..."), 120, 4395, 3840, 405);
    exportCsvButton = button(QStringLiteral("exportCsvButton"), QStringLiteral("Export CSV..."),
                             4080, 4395, 3840, 405);
    PushButton1 =
        button(QStringLiteral("PushButton1"), QStringLiteral("Close"), 120, 4905, 7800, 405);

    m_pointer = new PointerFeedback(this);
    m_pointer->watchButtons();
    m_pointer->watchForDefault(ListView1);
    m_pointer->watchForDefault(ListView1->viewport());
}

void Form4::connectSignals() {
    connect(PushButton1, &QPushButton::clicked, this, &Form4::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form4::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form4::PushButton3_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form4::PushButton5_Click);
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, &Form4::ListView1_DblClick);
    connect(importButton, &QPushButton::clicked, this, &Form4::importClicked);
    connect(exportCsvButton, &QPushButton::clicked, this, &Form4::exportCsvClicked);
    connectShortcuts();
    // A click beside the rows or a Ctrl+click would leave nothing for the commands to act on.
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &Form4::keepSelection);
}

void Form4::connectShortcuts() {
    const std::pair<QPushButton*, QKeySequence> keys[] = {
        {importButton, QKeySequence(Qt::CTRL | Qt::Key_I)},
        {exportCsvButton, QKeySequence(Qt::CTRL | Qt::Key_E)}};
    for (const auto& [target, sequence] : keys) {
        auto* shortcut = new QShortcut(sequence, this);
        connect(shortcut, &QShortcut::activated, target, &QPushButton::click);
        target->setToolTip(sequence.toString(QKeySequence::NativeText));
        target->setAccessibleDescription(target->toolTip());
    }
}

void Form4::Form_Load() {
    ErrorTrap trap(m_messages, QStringLiteral("Form4"), QStringLiteral("Form_Load"));
    trap([&] {
        SetButtonFaceColours(this);
        setWindowIcon(programIcon());
    });
    trap([&] { m_connection = m_store.open(); });
    trap([&] { listFields(); });
    trap([&] { m_pointer->setCustomCursor(loadHandCursor(m_paths.handCursor())); });
}

void Form4::listFields() {
    ListView1->clear();
    if (!connectionOpen())
        throw Errors::objectClosed();
    for (const FieldDefinition& field : readFieldDefinitions(*m_connection)) {
        const QString checks = describeChecks(fieldKindOf(field.type), field.checks, QLocale());
        auto* item = new QTreeWidgetItem(
            QStringList{field.name, field.type, field.length, field.values, checks});
        // The kind and its checks whole, where the column is too narrow for them.
        const QString kindAndChecks = checks.isEmpty() ? field.type : field.type + ", " + checks;
        item->setToolTip(TypeColumn, kindAndChecks);
        item->setToolTip(ChecksColumn, kindAndChecks);
        ListView1->addTopLevelItem(item);
    }
    // Checks wider than the room left are scrolled to rather than cut.
    ListView1->resizeColumnToContents(ChecksColumn);
    keepSelection();
}

// The list is read again from the data file, with the field the editor stored selected.
void Form4::showStoredField(ErrorTrap& trap, const QString& name) {
    m_fieldsChanged = true;
    trap([&] { listFields(); });
    const QList<QTreeWidgetItem*> found =
        ListView1->findItems(name, Qt::MatchFixedString | Qt::MatchCaseSensitive, CaptionColumn);
    if (!found.isEmpty())
        ListView1->setCurrentItem(found.first());
}

void Form4::keepSelection() {
    if (ListView1->topLevelItemCount() == 0 || !ListView1->selectedItems().isEmpty())
        return;
    QTreeWidgetItem* item = ListView1->currentItem();
    ListView1->setCurrentItem(item ? item : ListView1->topLevelItem(0));
    if (ListView1->selectedItems().isEmpty())
        ListView1->currentItem()->setSelected(true);
}

bool Form4::connectionOpen() const {
    return m_connection && m_connection->State() != adStateClosed;
}

void Form4::PushButton2_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form6"), QStringLiteral("PushButton2_Click"));
    std::optional<FieldDefinition> added;
    trap([&] {
        Form2 editor(m_messages, m_paths, m_store, std::nullopt, this);
        editor.exec();
        added = editor.storedField();
        if (editor.madeChange())
            m_changes.push_back(std::move(*editor.madeChange()));
    });
    if (added)
        showStoredField(trap, added->name);
    keepSelection();
}

void Form4::PushButton3_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form6"), QStringLiteral("PushButton3_Click"));
    QTreeWidgetItem* item = ListView1->currentItem();
    if (ListView1->topLevelItemCount() < 1 || !item)
        return;
    const QString name = item->text(CaptionColumn);
    bool completed = false;
    std::optional<FieldChange> removed;
    const bool deleted = trap([&] {
        if (!connectionOpen())
            throw Errors::objectClosed();
        // Dropping a column rewrites every record, which takes a while on a large file; the
        // hourglass goes before any error is shown.
        HourglassPointer hourglass(*m_pointer);
        // A dropped column's values are gone for good: no copy of the file, no delete. Both
        // take a while on a large file; Cancel stops the copy, or rolls the delete back.
        std::atomic<bool> cancelled = false;
        completed = runLongWork(
            this, QStringLiteral("Deleting the field %1...").arg(name),
            [&] {
                m_connection->engine().backUpBeforeFieldDelete(&cancelled);
                // A Cancel just as the copy was done stops here.
                if (cancelled)
                    throw RuntimeError(ErrorNumber::General, QStringLiteral("Cancelled."));
                removed = FieldChange::remove(*m_connection, name);
            },
            [&] {
                cancelled = true;
                m_connection->interrupt();
            });
    });
    // On failure or Cancel nothing was changed, so the field stays listed.
    if (!deleted || !completed || !removed)
        return;
    m_changes.push_back(std::move(*removed));
    m_fieldsChanged = true;
    trap([&] { listFields(); });
}

void Form4::editSelectedField(ErrorTrap& trap) {
    QTreeWidgetItem* item = ListView1->currentItem();
    if (ListView1->topLevelItemCount() < 1 || !item)
        return;
    const FieldDefinition shown{item->text(CaptionColumn), item->text(TypeColumn),
                                item->text(SizeColumn), item->text(ValuesColumn)};
    std::optional<FieldDefinition> updated;
    trap([&] {
        Form2 editor(m_messages, m_paths, m_store, shown, this);
        editor.exec();
        updated = editor.storedField();
        if (editor.madeChange())
            m_changes.push_back(std::move(*editor.madeChange()));
    });
    if (updated)
        showStoredField(trap, updated->name);
}

void Form4::PushButton5_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form6"), QStringLiteral("PushButton5_Click"));
    editSelectedField(trap);
}

void Form4::ListView1_DblClick() {
    // Reported like the update command, so a failure never ends the program.
    ErrorTrap trap(m_messages, QStringLiteral("Form6"), QStringLiteral("ListView1_DblClick"));
    editSelectedField(trap);
}

void Form4::importClicked() {
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Import"), QString(),
        QStringLiteral("CSV files and Access databases (*.csv *.tsv *.txt *.mdb *.accdb);;"
                       "All files (*)"));
    if (!file.isEmpty())
        importFrom(file);
}

void Form4::importFrom(const QString& file) {
    ErrorTrap trap(m_messages, QStringLiteral("Form4"), QStringLiteral("importFrom"));
    long imported = -1;
    ImportResult done;
    trap([&] {
        if (!connectionOpen())
            throw Errors::objectClosed();
        imported = importFile(
            m_messages, *m_connection, file, QString(), windowRunner(this),
            [this](ImportPlan& plan, const QString& label, const TableSurveyor& survey) {
                ColumnMappingDialog mapping(plan, label, survey, this);
                return mapping.exec() == QDialog::Accepted;
            },
            QString(), &done);
    });
    if (imported < 0)
        return;
    if (!done.idRuns.empty() || !done.fieldsAdded.isEmpty())
        m_changes.push_back(
            FieldChange::imported(std::move(done.idRuns), std::move(done.fieldsAdded)));
    m_fieldsChanged = true;
    trap([&] { listFields(); });
}

void Form4::exportCsvClicked() {
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"),
                                                      QStringLiteral("records.csv"),
                                                      QStringLiteral("CSV files (*.csv)"));
    if (file.isEmpty())
        return;
    const bool pageOnly =
        m_messages.show(Message{QStringLiteral("Export the fields of every page?\r\n\r\nYes: every "
                                               "field.\r\nNo: only the fields of the page shown."),
                                QStringLiteral("Export CSV"), Message::Buttons::YesNo,
                                Message::Icon::Question}) == Answer::No;
    exportCsvTo(file, pageOnly);
}

void Form4::exportCsvTo(const QString& file, bool pageShownOnly) {
    ErrorTrap trap(m_messages, QStringLiteral("Form4"), QStringLiteral("exportCsvTo"));
    long written = 0;
    std::atomic<bool> cancelled = false;
    bool finished = false;
    if (!trap([&] {
            if (!connectionOpen())
                throw Errors::objectClosed();
            const CsvFields fields{pageShownOnly ? m_recordWindow.shownPage() : -1};
            finished = runLongWork(
                this, QStringLiteral("Exporting the records..."),
                [&] { written = exportCsv(*m_connection, file, fields, &cancelled); },
                [&] { cancelled = true; });
        }) ||
        !finished)
        return;
    m_messages.tell(QStringLiteral("%L1 records were exported to '%2'.")
                        .arg(written)
                        .arg(QDir::toNativeSeparators(file)));
}

void Form4::PushButton1_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form6"), QStringLiteral("PushButton1_Click"));
    trap([&] { close(); });
}

void Form4::done(int result) {
    Form_QueryUnload();
    QDialog::done(result);
}

void Form4::Form_QueryUnload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    ErrorTrap trap(m_messages, QStringLiteral("Form4"), QStringLiteral("Form_QueryUnload"));
    trap([&] {
        if (m_fieldsChanged) {
            m_recordWindow.clearFieldsAndRepaint();
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    });
    trap([&] {
        if (connectionOpen())
            m_connection->Close();
    });
    m_connection.reset();
}
