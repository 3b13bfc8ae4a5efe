#include "fields/columnmapping.h"

#include "app/runtimeerror.h"
#include "import/importer.h"
#include "store/fieldchecks.h"

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
                                         const TableSurveyor& survey, QWidget* parent)
    : QDialog(parent), m_plan(plan), m_asText(plan.asText) {
    setObjectName(QStringLiteral("ColumnMappingDialog"));
    setWindowTitle(QStringLiteral("Import"));
    createControls(label);
    for (int row = 0; row < columnsTable->rowCount(); ++row)
        addChoices(row);
    checkChoices();
    startSurvey(survey);
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
    columnsTable = new QTableWidget(int(m_plan.columns.size()), 3, this);
    columnsTable->setObjectName(QStringLiteral("columnsTable"));
    columnsTable->setHorizontalHeaderLabels(
        {QStringLiteral("Column"), QStringLiteral("Goes into"), QStringLiteral("Kind")});
    columnsTable->verticalHeader()->hide();
    columnsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    columnsTable->setSelectionMode(QAbstractItemView::NoSelection);
    columnsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(columnsTable);
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
    resize(720, 420);
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
    connect(choices, &QComboBox::currentIndexChanged, this, [this, row] { showKind(row); });
    columnsTable->setCellWidget(row, 1, choices);
    auto* kinds = new QComboBox(columnsTable);
    connect(kinds, &QComboBox::activated, this,
            [this, row, kinds] { m_asText[size_t(row)] = kinds->currentData().toBool(); });
    columnsTable->setCellWidget(row, 2, kinds);
    showKind(row);
}

// A field there: its kind and checks. A new field: the kind its values make, or text where the
// user chose it, once the survey is done.
void ColumnMappingDialog::showKind(int row) {
    QComboBox* kinds = kind(row);
    const QComboBox* choices = target(row);
    kinds->clear();
    kinds->setEnabled(false);
    const Kind goesInto = Kind(choices->currentData(KindRole).toInt());
    if (goesInto == Kind::Field) {
        for (const FieldDefinition& field : m_plan.fields)
            if (field.name == choices->currentData(FieldRole).toString()) {
                const QString checks =
                    describeChecks(fieldKindOf(field.type), field.checks, QLocale());
                kinds->addItem(checks.isEmpty() ? field.type : field.type + ", " + checks);
            }
        return;
    }
    if (goesInto != Kind::NewField)
        return;
    if (m_kinds.empty())
        return kinds->addItem(QStringLiteral("(as its values make it)"));
    const FieldKind found = m_kinds[size_t(row)];
    kinds->addItem(typeWordOf(found), false);
    if (!hasCanonicalForm(found))
        return;
    kinds->addItem(typeWordOf(FieldKind::Textfield), true);
    kinds->setCurrentIndex(m_asText[size_t(row)] ? 1 : 0);
    kinds->setEnabled(true);
}

QComboBox* ColumnMappingDialog::kind(int row) const {
    return qobject_cast<QComboBox*>(columnsTable->cellWidget(row, 2));
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

void ColumnMappingDialog::startSurvey(const TableSurveyor& survey) {
    if (!survey) {
        recordsLabel->setText(QStringLiteral("Records to import: not known before the import."));
        return;
    }
    recordsLabel->setText(QStringLiteral("Records to import: counting..."));
    m_counter = std::thread([this, survey] {
        QString text;
        TableSurvey found;
        try {
            found = survey(m_stopCounting);
            text = QStringLiteral("Records to import: %L1").arg(found.records);
        } catch (const RuntimeError& e) {
            text = QStringLiteral("Records to import: none, the table cannot be read. ") +
                   e.description();
        } catch (...) {
            text = QStringLiteral("Records to import: none, the table cannot be read.");
        }
        // Dropped with the dialog when it is gone before the survey is done.
        QMetaObject::invokeMethod(
            this,
            [this, text, kinds = std::move(found.kinds)] {
                recordsLabel->setText(text);
                if (kinds.size() != size_t(columnsTable->rowCount()))
                    return;
                m_kinds = kinds;
                for (int row = 0; row < columnsTable->rowCount(); ++row)
                    showKind(row);
            },
            Qt::QueuedConnection);
    });
}

void ColumnMappingDialog::accept() {
    for (int row = 0; row < columnsTable->rowCount(); ++row) {
        const QComboBox* choices = target(row);
        m_plan.targets[size_t(row)] = {Kind(choices->currentData(KindRole).toInt()),
                                       choices->currentData(FieldRole).toString()};
    }
    m_plan.asText = m_asText;
    QDialog::accept();
}
