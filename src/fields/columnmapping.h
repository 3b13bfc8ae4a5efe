#pragma once

#include "import/importcommand.h"

#include <QDialog>
#include <atomic>
#include <thread>

struct ImportPlan;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QTableWidget;

// Before an import, nothing written yet: one row per column of the table with where it goes (a
// field there, a new field, the records' ids, or nowhere), each to change, and the kind of field
// it goes into: a field's own kind and checks, or for a new field the kind its values make, which
// the user may turn into text where it is Number, Currency or Date. How many records will come
// in and the kinds are found on a thread of its own while the dialog is up; until then a new
// field's kind is left to its values. OK writes the choices into the plan; Cancel leaves it.
class ColumnMappingDialog : public QDialog {
    Q_OBJECT
  public:
    ColumnMappingDialog(ImportPlan& plan, const QString& label, const TableSurveyor& survey,
                        QWidget* parent = nullptr);
    ~ColumnMappingDialog() override;

    // The choice for the column of that row.
    QComboBox* target(int row) const;
    // The kind of field the column of that row goes into.
    QComboBox* kind(int row) const;

    QTableWidget* columnsTable = nullptr;
    QLabel* recordsLabel = nullptr;
    QLabel* problemLabel = nullptr;
    QDialogButtonBox* buttons = nullptr;

  public slots:
    void accept() override;

  private:
    void createControls(const QString& label);
    void addChoices(int row);
    // The same field chosen twice, or nothing imported at all, holds OK back.
    void checkChoices();
    // Offers the kinds for where the column of that row goes.
    void showKind(int row);
    void startSurvey(const TableSurveyor& survey);

    ImportPlan& m_plan;
    std::vector<FieldKind> m_kinds; // per column, once the survey is done
    std::vector<bool> m_asText;     // per column: a new field of it stays text
    std::atomic<bool> m_stopCounting = false;
    std::thread m_counter;
};
