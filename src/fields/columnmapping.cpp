#include "fields/columnmapping.h"

#include "app/runtimeerror.h"
#include "import/importer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
using Kind = ColumnTarget::Kind;
constexpr int KindRole = Qt::UserRole;
constexpr int FieldRole = Qt::UserRole + 1;
} // namespace

ColumnMappingDialog::ColumnMappingDialog(ImportPlan& plan, const QString& label,
                                         const RecordCounter& count, QWidget* parent)
    : QDialog(parent), m_plan(plan) {
    setObjectName(QStringLiteral("ColumnMappingDialog"));
    setWindowTitle(QStringLiteral("Import"));
    createControls(label);
    for (int row = 0; row < columnsTable->rowCount(); ++row)
        addChoices(row);
    checkChoices();
    startCounting(count);
}

ColumnMappingDialog::~ColumnMappingDialog() {
    m_stopCounting = true;
    if (m_counter.joinable())
        m_counter.join();
}

void ColumnMappingDialog::createControls(const QString& label) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Where the columns of '%1' go (matched to the fields by name):").arg(label),
        this));
    if (!m_plan.howRead.isEmpty()) {
        auto* howRead = new QLabel(m_plan.howRead, this);
        howRead->setObjectName(QStringLiteral("howReadLabel"));
        layout->addWidget(howRead);
    }
    columnsTable = new QTableWidget(int(m_plan.columns.size()), 2, this);
    columnsTable->setObjectName(QStringLiteral("columnsTable"));
    columnsTable->setHorizontalHeaderLabels(
        {QStringLiteral("Column"), QStringLiteral("Goes into")});
    columnsTable->verticalHeader()->hide();
    columnsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    columnsTable->setSelectionMode(QAbstractItemView::NoSelection);
    columnsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(columnsTable);
    numbersAndDatesBox = new QCheckBox(
        QStringLiteral("New fields whose every value is a number, or every value a date, become "
                       "Number or Date fields"),
        this);
    numbersAndDatesBox->setObjectName(QStringLiteral("numbersAndDatesBox"));
    numbersAndDatesBox->setChecked(m_plan.numbersAndDates);
    layout->addWidget(numbersAndDatesBox);
    recordsLabel = new QLabel(this);
    recordsLabel->setObjectName(QStringLiteral("recordsLabel"));
    layout->addWidget(recordsLabel);
    problemLabel = new QLabel(this);
    problemLabel->setObjectName(QStringLiteral("problemLabel"));
    problemLabel->setWordWrap(true);
    layout->addWidget(problemLabel);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ColumnMappingDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ColumnMappingDialog::reject);
    layout->addWidget(buttons);
    resize(560, 420);
}

// Nowhere, the records' ids (for the id column of a file without records), a new field, or
// any field there; the plan's target chosen.
void ColumnMappingDialog::addChoices(int row) {
    const ColumnTarget& planned = m_plan.targets[size_t(row)];
    auto* item = new QTableWidgetItem(m_plan.columns[row]);
    columnsTable->setItem(row, 0, item);
    auto* choices = new QComboBox(columnsTable);
    const auto add = [choices](const QString& text, Kind kind, const QString& field = QString()) {
        choices->addItem(text, int(kind));
        choices->setItemData(choices->count() - 1, field, FieldRole);
    };
    add(QStringLiteral("(leave out)"), Kind::Skip);
    if (planned.kind == Kind::RecordIds && !m_plan.holdsRecords)
        add(QStringLiteral("(the records' ids)"), Kind::RecordIds);
    add(QStringLiteral("(new field %1)").arg(m_plan.newNames[row]), Kind::NewField);
    for (const FieldDefinition& field : m_plan.fields)
        add(field.name, Kind::Field, field.name);
    // A key column beside records can only become its new field.
    const Kind shown =
        planned.kind == Kind::RecordIds && m_plan.holdsRecords ? Kind::NewField : planned.kind;
    for (int i = 0; i < choices->count(); ++i)
        if (choices->itemData(i, KindRole).toInt() == int(shown) &&
            choices->itemData(i, FieldRole).toString() == planned.field)
            choices->setCurrentIndex(i);
    connect(choices, &QComboBox::currentIndexChanged, this, &ColumnMappingDialog::checkChoices);
    columnsTable->setCellWidget(row, 1, choices);
}

QComboBox* ColumnMappingDialog::target(int row) const {
    return qobject_cast<QComboBox*>(columnsTable->cellWidget(row, 1));
}

void ColumnMappingDialog::checkChoices() {
    QMap<QString, QStringList> columnsOf;
    bool anyImported = false;
    for (int row = 0; row < columnsTable->rowCount(); ++row) {
        const QComboBox* choices = target(row);
        anyImported |= choices->currentData(KindRole).toInt() != int(Kind::Skip);
        if (const QString field = choices->currentData(FieldRole).toString(); !field.isEmpty())
            columnsOf[field] << m_plan.columns[row];
    }
    QString problem;
    if (!anyImported)
        problem = QStringLiteral("Every column is left out: choose where one goes at least.");
    for (auto it = columnsOf.cbegin(); problem.isEmpty() && it != columnsOf.cend(); ++it)
        if (it.value().size() > 1)
            problem = QStringLiteral("The columns %1 all go into the field %2: choose one.")
                          .arg(it.value().join(QStringLiteral(", ")), it.key());
    problemLabel->setText(problem);
    buttons->button(QDialogButtonBox::Ok)->setEnabled(problem.isEmpty());
}

void ColumnMappingDialog::startCounting(const RecordCounter& count) {
    if (!count) {
        recordsLabel->setText(QStringLiteral("Records to import: not known before the import."));
        return;
    }
    recordsLabel->setText(QStringLiteral("Records to import: counting..."));
    m_counter = std::thread([this, count] {
        QString text;
        try {
            text = QStringLiteral("Records to import: %L1").arg(count(m_stopCounting));
        } catch (const RuntimeError& e) {
            text = QStringLiteral("Records to import: none, the table cannot be read. ") +
                   e.description();
        } catch (...) {
            text = QStringLiteral("Records to import: none, the table cannot be read.");
        }
        // Dropped with the dialog when it is gone before the count is done.
        QMetaObject::invokeMethod(
            this, [this, text] { recordsLabel->setText(text); }, Qt::QueuedConnection);
    });
}

void ColumnMappingDialog::accept() {
    for (int row = 0; row < columnsTable->rowCount(); ++row) {
        const QComboBox* choices = target(row);
        m_plan.targets[size_t(row)] = {Kind(choices->currentData(KindRole).toInt()),
                                       choices->currentData(FieldRole).toString()};
    }
    m_plan.numbersAndDates = numbersAndDatesBox->isChecked();
    QDialog::accept();
}
