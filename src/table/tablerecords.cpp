#include "table/tablerecords.h"

#include "app/numbers.h"
#include "app/runtimeerror.h"
#include "store/access1.h"
#include "store/connection.h"
#include "store/fielddefinition.h"
#include "store/rowreader.h"
#include "store/schema.h"

#include <QHash>
#include <algorithm>
#include <map>

TableRecords::~TableRecords() = default;

TableRecords::Content TableRecords::readContent(Connection& connection, const TableQuery& query,
                                                int first) {
    Content content;
    // The schema may have changed through another connection (the record window's).
    connection.refreshSchema();
    if (!TableExists(connection, Sql::CustomTableName))
        return content;
    std::map<QString, Column> described;
    for (const FieldDefinition& field : readFieldDefinitions(connection)) {
        const double factor = leadingNumber(field.length);
        described[field.name.toLower()] = {field.name, factor > 0 ? factor : 1,
                                           fieldKindOf(field.type)};
    }
    for (const QString& name : readFieldColumns(connection)) {
        const auto found = described.find(name.toLower());
        content.fields.push_back(found == described.end() ? Column{name}
                                                          : Column{name, found->second.lengthFactor,
                                                                   found->second.kind});
    }
    content.ids = first > 0 ? selectFirstTableIds(connection, query, first)
                            : selectTableIds(connection, query);
    if (first > 0 && content.ids.size() >= size_t(first))
        return content; // some of the ids only: no count yet
    // Counting reads the whole table again: only when the filters left some records out.
    const bool filtered =
        std::any_of(query.filters.begin(), query.filters.end(),
                    [](const TableQuery::Filter& f) { return !f.text.isEmpty(); });
    content.total = filtered ? countRecords(connection) : qint64(content.ids.size());
    return content;
}

void TableRecords::show(const Store& store, const TableQuery& query, Content content) {
    beginResetModel();
    m_query = query;
    m_fields = std::move(content.fields);
    m_places.clear();
    m_total = content.total;
    QStringList headings;
    for (const Column& field : m_fields)
        headings << field.name;
    setRows(store, headings, std::move(content.ids));
    try {
        if (connection())
            connection()->refreshSchema();
    } catch (const RuntimeError&) {
        dropConnection();
    }
    endResetModel();
}

TableRecords::Content TableRecords::content() const {
    return {m_fields, ids(), m_total};
}

int TableRecords::rowOf(qint64 id) const {
    const auto found = std::find(ids().begin(), ids().end(), id);
    return found == ids().end() ? -1 : int(found - ids().begin());
}

QStringList TableRecords::rowValues(int row) const {
    QStringList shown = values(row);
    while (shown.size() < int(m_fields.size()))
        shown << QString();
    shown.prepend(QString::number(idAt(row)));
    return shown;
}

QVariant TableRecords::data(const QModelIndex& index, int role) const {
    if (role != Qt::TextAlignmentRole || index.column() < 1 ||
        index.column() > int(m_fields.size()))
        return RecordRows::data(index, role);
    const FieldKind kind = m_fields[size_t(index.column() - 1)].kind;
    if (kind != FieldKind::Number && kind != FieldKind::Currency)
        return {};
    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
}

QStringList TableRecords::pick(const QStringList& columns, const QVariantList& record) const {
    // The reader's columns are the same for every row of a chunk: each field's place among them
    // is looked up once.
    if (columns != m_pickedColumns || m_places.size() != m_fields.size()) {
        m_pickedColumns = columns;
        m_places.clear();
        for (const Column& field : m_fields)
            m_places.push_back(columns.indexOf(field.name));
    }
    const QLocale locale;
    QStringList values;
    values.reserve(qsizetype(m_fields.size()));
    for (size_t f = 0; f < m_fields.size(); ++f)
        values << displayFieldValue(m_fields[f].kind, record.value(m_places[f]).toString(), locale);
    return values;
}
