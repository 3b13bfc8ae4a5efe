#include "store/statement.h"

#include "store/connection.h"
#include "store/engine.h"

Statement::Statement(Connection& connection, const QString& sql)
    : m_query(connection.engine().prepare(sql)) {}

Statement::~Statement() = default;

void Statement::bind(int index, const QVariant& value) {
    m_query->bind(index, value);
}

void Statement::bindAll(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
}

void Statement::bindText(int index, const char* utf8, qsizetype size) {
    m_query->bindText(index, utf8, size);
}

bool Statement::step() {
    return m_query->step();
}

void Statement::run() {
    while (step()) {
    }
    m_query->reset();
}

int Statement::columnCount() const {
    return m_query->columnCount();
}

QString Statement::columnName(int column) const {
    return m_query->columnName(column);
}

QVariant Statement::column(int column) const {
    return m_query->column(column);
}

qint64 Statement::columnInt64(int column) const {
    return m_query->columnInt64(column);
}

bool Statement::isNull(int column) const {
    return m_query->isNull(column);
}

std::string_view Statement::text(int column) const {
    return m_query->text(column);
}

void Statement::reset() {
    m_query->reset();
}

void Statement::readWholeNumbers(std::vector<qint64>& into) {
    m_query->readWholeNumbers(into);
}

std::vector<qint64> readIds(Statement& statement) {
    std::vector<qint64> ids;
    statement.readWholeNumbers(ids);
    return ids;
}

void executeAll(Connection& connection, const QStringList& statements) {
    for (const QString& sql : statements)
        connection.Execute(sql);
}
