#pragma once

#include "import/importcommand.h"

#include <QDialog>
#include <atomic>
#include <thread>

struct ImportPlan;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QTableWidget;

// Before an import, nothing written yet: one row per column of the table with where it goes (a
// field there, a new field, the records' ids, or nowhere), each to change, and how many records
// will come in, counted on a thread of its own while the dialog is up. OK writes the choices
// into the plan; Cancel leaves it.
class ColumnMappingDialog : public QDialog {
    Q_OBJECT
  public:
    ColumnMappingDialog(ImportPlan& plan, const QString& label, const RecordCounter& count,
                        QWidget* parent = nullptr);
    ~ColumnMappingDialog() override;

    // The choice for the column of that row.
    QComboBox* target(int row) const;

    QTableWidget* columnsTable = nullptr;
    QLabel* recordsLabel = nullptr;
    QLabel* problemLabel = nullptr;
    // New fields of numbers only or dates only become Number or Date fields; unticked, text.
    QCheckBox* numbersAndDatesBox = nullptr;
    QDialogButtonBox* buttons = nullptr;

  public slots:
    void accept() override;

  private:
    void createControls(const QString& label);
    void addChoices(int row);
    // The same field chosen twice, or nothing imported at all, holds OK back.
    void checkChoices();
    void startCounting(const RecordCounter& count);

    ImportPlan& m_plan;
    std::atomic<bool> m_stopCounting = false;
    std::thread m_counter;
};
