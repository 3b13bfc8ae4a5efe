#include "store/fieldchange.h"

#include "app/runtimeerror.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/fieldrules.h"
#include "store/recordbin.h"
#include "store/schema.h"
#include "store/searchindex.h"
#include "store/statement.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <optional>

namespace {

RuntimeError refused(const QString& text) {
    return RuntimeError(ErrorNumber::RowChanged, text + QStringLiteral(" Nothing was changed."));
}

std::optional<FieldDefinition> findField(Connection& connection, const QString& name) {
    for (FieldDefinition& field : readFieldDefinitions(connection))
        if (field.name == name)
            return std::move(field);
    return std::nullopt;
}

bool same(const FieldDefinition& a, const FieldDefinition& b) {
    return a.name == b.name && a.type == b.type && a.length == b.length && a.values == b.values &&
           a.checks == b.checks;
}

FieldDefinition fieldAsLeft(Connection& connection, const QString& name,
                            const FieldDefinition* expected) {
    const std::optional<FieldDefinition> field = findField(connection, name);
    if (!field)
        throw refused(QStringLiteral("The field '%1' is no longer there: another program deleted "
                                     "it meanwhile.")
                          .arg(name));
    if (expected && !same(*field, *expected))
        throw refused(
            QStringLiteral("The field '%1' was changed by another program since.").arg(name));
    return *field;
}

// The order column of the field rows, when the store has one (a server's tables from before
// it are ordered by an expression).
QString placeColumn(Connection& connection) {
    const QString order = connection.engine().fieldRowOrder();
    return order.startsWith(QLatin1Char('(')) ? QString() : order;
}

QString encode(const FieldDefinition& field, const QVariant& place) {
    QJsonObject object{{QStringLiteral("type"), field.type},
                       {QStringLiteral("length"), field.length},
                       {QStringLiteral("values"), field.values},
                       {QStringLiteral("required"), field.checks.required},
                       {QStringLiteral("minimum"), field.checks.minimum},
                       {QStringLiteral("maximum"), field.checks.maximum},
                       {QStringLiteral("decimals"), field.checks.decimals}};
    if (place.isValid() && !place.isNull())
        object.insert(QStringLiteral("place"), place.toLongLong());
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

FieldDefinition decode(const QString& name, const QString& text, QVariant& place) {
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    const auto string = [&](const char* key) {
        return object.value(QLatin1String(key)).toString();
    };
    FieldDefinition field{name, string("type"), string("length"), string("values")};
    field.checks.required = object.value(QStringLiteral("required")).toBool();
    field.checks.minimum = string("minimum");
    field.checks.maximum = string("maximum");
    field.checks.decimals = object.value(QStringLiteral("decimals")).toInt(-1);
    const QJsonValue at = object.value(QStringLiteral("place"));
    place = at.isDouble() ? QVariant(qint64(at.toDouble())) : QVariant();
    return field;
}

// The key of a field or values that could not be kept: a server role without the right to make
// tables deletes and converts, but cannot take it back.
constexpr qint64 NotKept = -1;

RuntimeError notKept(const QString& name) {
    return refused(QStringLiteral("The field '%1' cannot be taken back: its values could not be "
                                  "kept, as this database does not let you make the tables that "
                                  "keep them.")
                       .arg(name));
}

qint64 newEntry(Connection& connection, const FieldDefinition& field, const QVariant& place) {
    if (!connection.engine().makeKeptFieldsIfMissing())
        return NotKept;
    Statement keep(connection, QStringLiteral("INSERT INTO \"KeptFields\" (\"fieldname\", "
                                              "\"KeptAt\", \"Definition\") VALUES (?, ?, ?) "
                                              "RETURNING \"FieldKey\""));
    keep.bindAll({field.name, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs),
                  encode(field, place)});
    keep.step();
    const qint64 key = keep.columnInt64(0);
    while (keep.step()) {
    }
    return key;
}

void removeEntry(Connection& connection, qint64 key) {
    connection.Execute(QStringLiteral("DELETE FROM \"KeptFieldValues\" WHERE \"FieldKey\" = ?"),
                       {key});
    connection.Execute(QStringLiteral("DELETE FROM \"KeptFields\" WHERE \"FieldKey\" = ?"), {key});
}

// The kept values into the records still there (the key is a number of ours, written into the
// statement so that each engine reads its type from the column).
QString putValues(const QString& column, qint64 key, bool onlyWhereUnchanged) {
    return QStringLiteral("UPDATE \"CustomTable\" SET %1 = k.\"Value\" FROM \"KeptFieldValues\" k "
                          "WHERE k.\"FieldKey\" = %2 AND k.\"ID\" = \"CustomTable\".\"ID\"")
               .arg(column)
               .arg(key) +
           (onlyWhereUnchanged
                ? QStringLiteral(" AND \"CustomTable\".%1 IS NOT DISTINCT FROM k.\"Now\"")
                      .arg(column)
                : QString());
}

// The row at its place, the rows from there on moved one further.
void insertRowAt(Connection& connection, const FieldDefinition& field, const QVariant& place) {
    const QString order = placeColumn(connection);
    if (order.isEmpty() || !place.isValid()) {
        connection.Execute(Sql::InsertFieldRow,
                           {field.name, field.type, field.length, field.values});
        return;
    }
    Statement taken(
        connection,
        QStringLiteral("SELECT count(*) FROM \"FieldControl\" WHERE %1 = ?").arg(order));
    taken.bind(1, place);
    if (taken.step() && taken.columnInt64(0) > 0) {
        taken.reset();
        // Through the negative numbers, so that no two rows share a place on the way.
        connection.Execute(
            QStringLiteral("UPDATE \"FieldControl\" SET %1 = -%1 - 1 WHERE %1 >= ?").arg(order),
            {place});
        connection.Execute(
            QStringLiteral("UPDATE \"FieldControl\" SET %1 = -%1 WHERE %1 < 0").arg(order));
        connection.engine().fieldPlacesGiven();
    }
    connection.Execute(
        QStringLiteral("insert into \"FieldControl\" (\"fieldname\", \"FieldType\", "
                       "\"FieldLength\", \"FieldValues\", %1) values (?, ?, ?, ?, ?)")
            .arg(order),
        {field.name, field.type, field.length, field.values, place});
}

} // namespace

qint64 KeptFields::dropWithin(Connection& connection, const QString& name,
                              const FieldDefinition* expected) {
    connection.refreshSchema();
    const FieldDefinition field = fieldAsLeft(connection, name, expected);
    QVariant place;
    if (const QString order = placeColumn(connection); !order.isEmpty()) {
        Statement read(
            connection,
            QStringLiteral("SELECT %1 FROM \"FieldControl\" WHERE \"fieldname\" = ?").arg(order));
        read.bind(1, name);
        if (read.step())
            place = read.columnInt64(0);
    }
    const qint64 key = newEntry(connection, field, place);
    // A field row whose column is missing (a damaged or hand-made file) has no values.
    if (key != NotKept && readRecordColumns(connection).contains(name))
        connection.Execute(QStringLiteral("INSERT INTO \"KeptFieldValues\" (\"FieldKey\", \"ID\", "
                                          "\"Value\") SELECT %1, \"ID\", %2 FROM \"CustomTable\" "
                                          "WHERE %2 IS NOT NULL")
                               .arg(key)
                               .arg(Sql::quoteName(name)));
    deleteFieldWithinTransaction(connection, name);
    return key;
}

FieldDefinition KeptFields::bringBackWithin(Connection& connection, qint64 key) {
    connection.refreshSchema();
    QString name, definition;
    {
        if (key == NotKept || !connection.engine().makeKeptFieldsIfMissing())
            throw refused(QStringLiteral("The deleted field cannot come back: its values could not "
                                         "be kept, as this database does not let you make the "
                                         "tables that keep them."));
        Statement read(connection, QStringLiteral("SELECT \"fieldname\", \"Definition\" FROM "
                                                  "\"KeptFields\" WHERE \"FieldKey\" = ?"));
        read.bind(1, key);
        if (!read.step())
            throw refused(QStringLiteral("The deleted field is no longer kept in the data."));
        name = read.column(0).toString();
        definition = read.column(1).toString();
    }
    bool taken = readRecordColumns(connection).contains(name, Qt::CaseInsensitive);
    for (const FieldDefinition& field : readFieldDefinitions(connection))
        taken = taken || field.name.compare(name, Qt::CaseInsensitive) == 0;
    if (taken)
        throw refused(QStringLiteral("The field '%1' cannot come back: a field of that name has "
                                     "been added meanwhile.")
                          .arg(name));
    QVariant place;
    const FieldDefinition field = decode(name, definition, place);
    const bool indexed = SearchIndex::beforeColumnChange(connection);
    connection.Execute(Sql::addFieldColumn(name));
    insertRowAt(connection, field, place);
    writeFieldChecks(connection, name, field.checks);
    const int values = connection.Execute(putValues(Sql::quoteName(name), key, false));
    removeEntry(connection, key);
    // Values written past the index's triggers: an index is made again by the next search.
    SearchIndex::afterColumnChange(connection, indexed && values == 0);
    return field;
}

qint64 KeptFields::keepReplacedWithin(Connection& connection, const QString& name,
                                      const std::vector<ReplacedValue>& values) {
    const qint64 key = newEntry(connection, fieldAsLeft(connection, name, nullptr), QVariant());
    if (key == NotKept)
        return key;
    Statement keep(connection, QStringLiteral("INSERT INTO \"KeptFieldValues\" (\"FieldKey\", "
                                              "\"ID\", \"Value\", \"Now\") VALUES (?, ?, ?, ?)"));
    for (const ReplacedValue& value : values) {
        keep.bindAll({key, value.id, value.before, value.after});
        keep.run();
    }
    return key;
}

void KeptFields::putBackWithin(Connection& connection, qint64 key, const QString& name) {
    if (key == NotKept)
        throw notKept(name);
    const int changed = connection.Execute(putValues(Sql::quoteName(name), key, true));
    Statement there(connection, QStringLiteral("SELECT count(*) FROM \"KeptFieldValues\" k JOIN "
                                               "\"CustomTable\" c ON c.\"ID\" = k.\"ID\" WHERE "
                                               "k.\"FieldKey\" = ?"));
    there.bind(1, key);
    if (!there.step() || there.columnInt64(0) != changed)
        throw refused(QStringLiteral("Values of the field '%1' were changed by another program "
                                     "since.")
                          .arg(name));
    there.reset();
    removeEntry(connection, key);
}

FieldChange FieldChange::add(Connection& connection, const FieldDefinition& field) {
    addFieldToTables(connection, field);
    return FieldChange(Kind::Add, field);
}

FieldChange FieldChange::update(Connection& connection, const FieldDefinition& field,
                                const QLocale& locale) {
    Transaction transaction(connection);
    FieldChange change(Kind::Update, field);
    const std::optional<FieldDefinition> before = findField(connection, field.name);
    updateFieldWithinTransaction(connection, field, locale, &change.m_keptKey);
    transaction.commit();
    change.m_before = before.value_or(field);
    change.m_locale = locale;
    return change;
}

FieldChange FieldChange::remove(Connection& connection, const QString& name) {
    FieldChange change(Kind::Delete, FieldDefinition{name, {}, {}, {}});
    change.m_keptKey = deleteFieldFromTables(connection, name);
    return change;
}

FieldChange FieldChange::imported(std::vector<std::pair<qint64, qint64>> idRuns,
                                  QStringList fieldsAdded) {
    FieldChange change(Kind::Import, FieldDefinition());
    change.m_idRuns = std::move(idRuns);
    change.m_fieldsAdded = std::move(fieldsAdded);
    return change;
}

QString FieldChange::text() const {
    switch (m_kind) {
    case Kind::Add:
        return QStringLiteral("Add Field %1").arg(m_field.name);
    case Kind::Update:
        return QStringLiteral("Change Field %1").arg(m_field.name);
    case Kind::Delete:
        return QStringLiteral("Delete Field %1").arg(m_field.name);
    case Kind::Import:
        break;
    }
    qint64 records = 0;
    for (const auto& [first, last] : m_idRuns)
        records += last - first + 1;
    return QStringLiteral("Import %L1 Records").arg(records);
}

// Each key is taken over only once its transaction is committed.
void FieldChange::undo(Connection& connection) {
    Transaction transaction(connection);
    switch (m_kind) {
    case Kind::Add: {
        const qint64 key = KeptFields::dropWithin(connection, m_field.name, &m_field);
        transaction.commit();
        m_keptKey = key;
        return;
    }
    case Kind::Delete: {
        FieldDefinition field = KeptFields::bringBackWithin(connection, m_keptKey);
        transaction.commit();
        m_field = std::move(field);
        m_keptKey = 0;
        return;
    }
    case Kind::Update:
        fieldAsLeft(connection, m_field.name, &m_field);
        if (m_keptKey != 0)
            KeptFields::putBackWithin(connection, m_keptKey, m_field.name);
        connection.Execute(Sql::UpdateFieldRow,
                           {m_before.type, m_before.length, m_before.values, m_before.name});
        writeFieldChecks(connection, m_before.name, m_before.checks);
        transaction.commit();
        m_keptKey = 0;
        return;
    case Kind::Import:
        unmakeImport(connection);
        transaction.commit();
        return;
    }
}

void FieldChange::redo(Connection& connection) {
    Transaction transaction(connection);
    switch (m_kind) {
    case Kind::Add: {
        FieldDefinition field = KeptFields::bringBackWithin(connection, m_keptKey);
        transaction.commit();
        m_field = std::move(field);
        m_keptKey = 0;
        return;
    }
    case Kind::Delete: {
        const qint64 key = KeptFields::dropWithin(connection, m_field.name, &m_field);
        transaction.commit();
        m_keptKey = key;
        return;
    }
    case Kind::Update: {
        fieldAsLeft(connection, m_before.name, &m_before);
        qint64 key = 0;
        updateFieldWithinTransaction(connection, m_field, m_locale, &key);
        transaction.commit();
        m_keptKey = key;
        return;
    }
    case Kind::Import:
        remakeImport(connection);
        transaction.commit();
        return;
    }
}

void FieldChange::forget(Connection& connection) {
    Transaction transaction(connection);
    if (m_keptKey > 0)
        removeEntry(connection, m_keptKey);
    for (const qint64 key : m_fieldKeys)
        if (key > 0)
            removeEntry(connection, key);
    transaction.commit();
    m_keptKey = 0;
    m_fieldKeys.clear();
}

// The import's records into the bin (so that a redo brings them back with every value), then
// its fields, each kept with the values other records got meanwhile. The keys are taken over
// by the caller once committed; they stand here until then, as a failure rolls everything back
// and the change is not stepped.
void FieldChange::unmakeImport(Connection& connection) {
    std::vector<qint64> ids;
    for (const auto& [first, last] : m_idRuns)
        for (qint64 id = first; id <= last; ++id)
            ids.push_back(id);
    std::vector<qint64> binKeys = RecordBin::moveAllWithin(connection, ids), fieldKeys;
    if (const auto gone = std::find(binKeys.begin(), binKeys.end(), 0); gone != binKeys.end())
        throw refused(QStringLiteral("Record %1 of the import was deleted by another program "
                                     "since.")
                          .arg(ids[size_t(gone - binKeys.begin())]));
    for (qsizetype i = m_fieldsAdded.size() - 1; i >= 0; --i)
        fieldKeys.push_back(KeptFields::dropWithin(connection, m_fieldsAdded[i]));
    m_binKeys = std::move(binKeys);
    m_fieldKeys = std::move(fieldKeys);
}

void FieldChange::remakeImport(Connection& connection) {
    for (auto key = m_fieldKeys.rbegin(); key != m_fieldKeys.rend(); ++key)
        KeptFields::bringBackWithin(connection, *key);
    RecordBin::restoreAllWithin(connection, m_binKeys);
}
