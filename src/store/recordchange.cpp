#include "store/recordchange.h"

#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/schema.h"
#include "store/statement.h"

namespace {
bool same(const QVariant& a, const QVariant& b) {
    const bool nullA = !a.isValid() || a.isNull(), nullB = !b.isValid() || b.isNull();
    return nullA || nullB ? nullA == nullB : a.toString() == b.toString();
}
} // namespace

std::optional<RecordChange> RecordChange::fromWrite(const RecordWrite& write) {
    if (write.id == 0)
        return std::nullopt;
    RecordChange change(write.created ? Kind::New : Kind::Save, write.id);
    if (write.created)
        return change;
    for (const auto& [column, after] : write.after) {
        const auto before = write.before.find(column);
        const QVariant old = before == write.before.end() ? QVariant() : before->second;
        if (!same(old, after)) {
            change.m_before[column] = old;
            change.m_after[column] = after;
        }
    }
    if (change.m_after.empty())
        return std::nullopt;
    return change;
}

RecordChange RecordChange::deleted(qint64 id, qint64 binKey) {
    RecordChange change(Kind::Delete, id);
    change.m_binKey = binKey;
    return change;
}

QString RecordChange::text() const {
    switch (m_kind) {
    case Kind::Save:
        return QStringLiteral("Save Record %1").arg(m_id);
    case Kind::New:
        return QStringLiteral("New Record %1").arg(m_id);
    case Kind::Delete:
        break;
    }
    return QStringLiteral("Delete Record %1").arg(m_id);
}

void RecordChange::undo(Connection& connection) {
    step(connection,
         m_kind == Kind::Save  ? Step::Replace
         : m_kind == Kind::New ? Step::ToBin
                               : Step::FromBin,
         m_after, m_before);
}

void RecordChange::redo(Connection& connection) {
    step(connection,
         m_kind == Kind::Save  ? Step::Replace
         : m_kind == Kind::New ? Step::FromBin
                               : Step::ToBin,
         m_before, m_after);
}

// The bin's key is taken over only once the transaction is committed.
void RecordChange::step(Connection& connection, Step step, const RecordValues& from,
                        const RecordValues& to) {
    Transaction transaction(connection);
    qint64 binKey = 0;
    if (step == Step::Replace)
        replace(connection, from, to);
    else if (step == Step::FromBin)
        RecordBin::restoreWithin(connection, m_binKey, RecordBin::WhenIdTaken::Refuse);
    else if ((binKey = RecordBin::moveWithin(connection, m_id)) == 0)
        throw RuntimeError(ErrorNumber::RowChanged,
                           QStringLiteral("Record %1 was deleted by another program since; "
                                          "nothing was changed.")
                               .arg(m_id));
    transaction.commit();
    m_binKey = binKey;
}

// Only while the record still holds what the change left there.
void RecordChange::replace(Connection& connection, const RecordValues& from,
                           const RecordValues& to) {
    QStringList columns;
    QVariantList values;
    for (const auto& [column, value] : to) {
        columns << column;
        values << value;
    }
    values << m_id;
    for (const auto& [column, value] : from)
        values << value;
    Statement update(connection, Sql::updateRecordIfUnchanged(columns));
    update.bindAll(values);
    update.run();
    if (connection.engine().changes() > 0)
        return;
    Statement count(connection, Sql::CountRecordsWithId);
    count.bind(1, m_id);
    const bool there = count.step() && count.columnInt64(0) > 0;
    throw RuntimeError(ErrorNumber::RowChanged,
                       QStringLiteral("Record %1 was %2 by another program since; nothing was "
                                      "changed.")
                           .arg(m_id)
                           .arg(there ? QStringLiteral("changed") : QStringLiteral("deleted")));
}
