#include "record/recordbrowser.h"

#include "store/connection.h"

#include <utility>

bool RecordBrowser::isOpen() const {
    return m_records.State() != adStateClosed;
}

bool RecordBrowser::onRow() const {
    return isOpen() && !m_records.IsBOF() && !m_records.IsEOF();
}

bool RecordBrowser::moveToFirstIfAny() {
    if (!isOpen() || m_records.IsBOF())
        return false;
    m_records.MoveFirst();
    m_index = 1;
    return true;
}

bool RecordBrowser::reopen(Connection& connection) {
    close();
    m_records.Open(connection);
    if (m_records.IsBOF() && m_records.IsEOF())
        return false;
    return moveToFirstIfAny();
}

void RecordBrowser::close() {
    if (isOpen())
        m_records.Close();
}

bool RecordBrowser::moveFirst() {
    if (!isOpen() || m_editing || m_records.IsBOF())
        return false;
    m_records.MoveFirst();
    m_index = 1;
    return true;
}

bool RecordBrowser::movePrevious() {
    if (!isOpen() || m_editing || m_records.IsBOF() || m_index <= 1)
        return false;
    m_records.MovePrevious();
    m_index -= 1;
    return true;
}

bool RecordBrowser::moveNext() {
    if (!isOpen() || m_editing || m_records.IsEOF() || m_index >= m_records.RecordCount())
        return false;
    m_records.MoveNext();
    m_index += 1;
    return true;
}

bool RecordBrowser::moveLast() {
    if (!isOpen() || m_editing || m_records.IsEOF())
        return false;
    m_records.MoveLast();
    m_index = int(m_records.RecordCount());
    return true;
}

bool RecordBrowser::moveToId(qint64 id) {
    if (!isOpen())
        return false;
    m_records.Find(id);
    if (m_records.IsEOF())
        return false;
    m_index = int(m_records.AbsolutePosition());
    return true;
}

bool RecordBrowser::showChanged(qint64 id) {
    if (!isOpen() || m_editing)
        return false;
    m_records.Recheck(id);
    return moveToId(id) || moveToFirstIfAny();
}

// Editing needs a row to write into; without one Save could only fail.
bool RecordBrowser::beginEdit() {
    if (m_editing || !onRow())
        return false;
    m_records.takeWrites();
    m_editing = true;
    m_newRecord = false;
    return true;
}

bool RecordBrowser::beginNew() {
    if (!isOpen() || m_editing)
        return false;
    m_records.AddNew();
    m_records.takeWrites();
    m_editing = true;
    m_newRecord = true;
    return true;
}

bool RecordBrowser::canDelete() const {
    return isOpen() && !m_editing && !m_records.IsEOF();
}

bool RecordBrowser::deleteCurrent() {
    const qint64 id = m_records.currentId();
    m_records.Delete();
    if (m_records.lastBinKey() != 0)
        m_deleted = RecordChange::deleted(id, m_records.lastBinKey());
    return moveToFirstIfAny();
}

void RecordBrowser::write() {
    m_records.Update();
}

void RecordBrowser::save() {
    m_records.Update();
    m_editing = false;
    m_index = int(m_records.AbsolutePosition());
}

void RecordBrowser::cancelChanges() {
    m_records.Cancel();
    m_index = int(m_records.AbsolutePosition());
}

// A new record stored when a page was left goes into the bin; it was never saved, so there is
// no change to take back.
bool RecordBrowser::discardNew() {
    if (m_records.IsEOF())
        return false;
    m_records.Delete();
    m_records.takeWrites();
    return moveToFirstIfAny();
}

void RecordBrowser::endEditing() {
    m_editing = false;
}

std::optional<RecordChange> RecordBrowser::takeChange() {
    if (m_deleted)
        return std::exchange(m_deleted, std::nullopt);
    return RecordChange::fromWrite(m_records.takeWrites());
}
