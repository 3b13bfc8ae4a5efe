#include "record/form1.h"

#include "app/errortrap.h"
#include "app/flags.h"
#include "app/numbers.h"
#include "app/settings.h"
#include "app/twips.h"
#include "export/workbookexport.h"
#include "fields/form4.h"
#include "record/fieldinput.h"
#include "record/recordlayout.h"
#include "search/form3.h"
#include "store/connection.h"
#include "store/recordset.h"

#include <QLineEdit>
#include <QSignalBlocker>
#include <QTabWidget>
#include <cmath>

namespace {

const QString SaveOrCancelFirst = QStringLiteral("Please save or cancel current record first.");

bool isOpen(Recordset& records) {
    return records.State() != adStateClosed;
}
} // namespace

// Values of the shown page into the current row, each into its own field's column: what the
// user typed (an input left alone gives back what was stored), or the values of a cancelled
// new record. False when a value could not be written.
bool Form1::writeShownPage(ErrorTrap& trap, bool cancelValues) {
    for (const auto& input : m_inputs) {
        const QVariant value = cancelValues ? input->cancelValue() : input->valueToStore();
        if (!trap([&] { m_records->Fields(input->column()).setValue(value); }))
            return false;
    }
    return true;
}

bool Form1::refuseWhileEditing() {
    if (!m_fieldsEnabled)
        return false;
    m_messages.tell(SaveOrCancelFirst);
    return true;
}

// ---- record commands

void Form1::PushButton3_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton3_Click"));
    if (!isOpen(*m_records) || m_fieldsEnabled)
        return;
    clearFields();
    enableFields(true);
    if (!m_inputControls.isEmpty())
        m_inputControls.first()->setFocus();
    if (!trap([&] { m_records->AddNew(); })) {
        enableFields(false);
        setFieldsData();
        return;
    }
    m_editing = true;
    m_newRecord = true;
}

void Form1::PushButton1_Click() {
    if (m_fieldsEnabled)
        return;
    // Editing needs a row to write into; without one Save could only fail.
    if (!isOpen(*m_records) || m_records->IsBOF() || m_records->IsEOF())
        return;
    enableFields(true);
    if (!m_inputControls.isEmpty())
        m_inputControls.first()->setFocus();
    m_editing = true;
    m_newRecord = false;
}

void Form1::PushButton2_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton2_Click"));
    if (!isOpen(*m_records) || m_fieldsEnabled || m_records->IsEOF())
        return;
    const QString first = m_inputs.empty() ? QString() : m_inputs.front()->defaultText();
    if (!m_messages.askYesNoDefaultNo(
            QStringLiteral("Do you really want to delete this record number ") + first +
                QLatin1Char('?'),
            QStringLiteral("Question")))
        return;
    if (!trap([&] { m_records->Delete(); }))
        return;
    trap([&] {
        if (!m_records->IsBOF()) {
            m_records->MoveFirst();
            setFieldsData();
            m_index = 1;
        }
    });
}

void Form1::PushButton6_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton6_Click"));
    if (!m_fieldsEnabled || !isOpen(*m_records))
        return;
    // A value or row the database refuses keeps the window editing with everything typed.
    if (!writeShownPage(trap, false))
        return;
    if (!trap([&] { m_records->Update(); }))
        return;
    m_editing = false;
    enableFields(false);
    setFieldsData();
    trap([&] { m_index = int(m_records->AbsolutePosition()); });
}

void Form1::PushButton8_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton8_Click"));
    if (!m_fieldsEnabled || !isOpen(*m_records))
        return;
    if (!m_newRecord) {
        trap([&] { m_records->Cancel(); });
        setFieldsData();
        trap([&] { m_index = int(m_records->AbsolutePosition()); });
    } else {
        writeShownPage(trap, true);
        trap([&] {
            if (!m_records->IsEOF()) {
                m_records->Delete();
                if (!m_records->IsBOF()) {
                    m_records->MoveFirst();
                    setFieldsData();
                    m_index = 1;
                }
            }
        });
    }
    m_editing = false;
    enableFields(false);
}

// ---- commands that wait until the record is saved or cancelled

void Form1::PushButton4_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton4_Click"));
    if (refuseWhileEditing())
        return;
    trap([&] { generateControls(SSTab1->currentIndex()); });
}

void Form1::PushButton13_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton13_Click"));
    if (refuseWhileEditing())
        return;
    gFieldsChanged = false;
    trap([&] {
        Form4 fieldList(m_messages, m_paths, *this, this);
        fieldList.exec();
    });
    afterOwnWindowClosed();
    trap([&] { generateControls(SSTab1->currentIndex()); });
}

void Form1::PushButton7_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton7_Click"));
    if (refuseWhileEditing())
        return;
    trap([&] {
        Form3 search(m_messages, m_paths, *this, this);
        search.exec();
    });
    afterOwnWindowClosed();
}

void Form1::PushButton5_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton5_Click"));
    if (refuseWhileEditing())
        return;
    trap([&] {
        if (!m_connection || m_connection->State() == adStateClosed)
            throw RuntimeError(ErrorNumber::ObjectClosed,
                               QStringLiteral("The data file is not open, so there is nothing to "
                                              "export."));
        exportToWorkbook(m_messages, *m_connection, shownCaptions(), shownPage(), this);
    });
}

// ---- navigation

void Form1::PushButton10_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton10_Click"));
    if (!isOpen(*m_records) || m_fieldsEnabled || m_records->IsBOF())
        return;
    trap([&] { m_records->MoveFirst(); });
    setFieldsData();
    m_index = 1;
}

void Form1::PushButton9_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton9_Click"));
    if (!isOpen(*m_records) || m_fieldsEnabled || m_records->IsBOF() || m_index <= 1)
        return;
    trap([&] { m_records->MovePrevious(); });
    setFieldsData();
    m_index -= 1;
}

void Form1::PushButton11_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton11_Click"));
    if (!isOpen(*m_records) || m_fieldsEnabled || m_records->IsEOF() ||
        m_index >= m_records->RecordCount())
        return;
    trap([&] { m_records->MoveNext(); });
    setFieldsData();
    m_index += 1;
}

void Form1::PushButton12_Click() {
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("PushButton12_Click"));
    if (!isOpen(*m_records) || m_fieldsEnabled || m_records->IsEOF())
        return;
    trap([&] { m_records->MoveLast(); });
    setFieldsData();
    m_index = int(m_records->RecordCount());
}

// ---- page switch

void Form1::SSTab1_Click(int previousTab) {
    m_tabClicked = true;
    if (!m_editing) {
        if (!m_generating)
            generateControls(SSTab1->currentIndex());
        return;
    }
    if (!isOpen(*m_records))
        return;
    ErrorTrap trap(m_messages, QStringLiteral("Form1"), QStringLiteral("SSTab1_Click"));
    // The page being left is stored at once; if it cannot be, the user stays on it with
    // everything typed.
    if (!writeShownPageAndUpdate(trap)) {
        const QSignalBlocker blocker(SSTab1);
        SSTab1->setCurrentIndex(previousTab);
        m_shownTab = previousTab;
        return;
    }
    setControls(SSTab1->currentIndex());
    setFieldsData();
}

bool Form1::writeShownPageAndUpdate(ErrorTrap& trap) {
    return writeShownPage(trap, false) && trap([&] { m_records->Update(); });
}

// ---- size boxes

void Form1::sizeBoxChanged(const QString& key, const QString& text) {
    SaveSetting(key, text);
}

void Form1::sizeBoxLeft(QLineEdit* box) {
    if (m_checkingSize)
        return;
    m_checkingSize = true;
    const bool width = box == Text3;
    const double factor = width ? Twips::perPixelX(this) : Twips::perPixelY(this);
    // The room the boxes are checked against: Frame1 less the first input's left and top.
    const int room = width ? RecordLayout::Frame1.width() - RecordLayout::InputLeft[0]
                           : RecordLayout::Frame1.height() - RecordLayout::FirstInputTop;
    if (!isNumeric(box->text())) {
        m_messages.tell(QStringLiteral("Must be a numeric entry."));
        box->setFocus();
        m_checkingSize = false;
        return;
    }
    if (float(leadingNumber(box->text()) * factor) > float(room)) {
        const long largest = std::lrint(double(room)) / std::lrint(factor);
        m_messages.tell(QStringLiteral("Must be %1 or less.").arg(largest));
        box->setFocus();
    }
    if (leadingNumber(Text3->text()) != 0 && leadingNumber(Text4->text()) != 0)
        PushButton4_Click();
    m_checkingSize = false;
}
