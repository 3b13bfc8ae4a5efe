#pragma once

#include <QString>
#include <exception>
#include <string>

// A run-time error as the windows' error traps report it: a number and a description.
class RuntimeError : public std::exception {
  public:
    RuntimeError(qint64 number, QString description)
        : m_number(number), m_description(std::move(description)),
          m_what(m_description.toStdString()) {}

    qint64 number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

  private:
    qint64 m_number;
    QString m_description;
    std::string m_what;
};

// Error numbers the windows test for.
namespace ErrorNumber {
constexpr qint64 General = 5;                // invalid procedure call or argument
constexpr qint64 TableNotFound = 0x80040E37; // the table named in a statement does not exist
constexpr qint64 NoCurrentRecord = 3021;     // BOF or EOF, or the current row was deleted
constexpr qint64 ItemNotFound = 3265;        // no field at that ordinal
constexpr qint64 NotUpdatable = 3251;        // the record set does not support the operation
constexpr qint64 ObjectClosed = 3704;        // operation not allowed when the object is closed
constexpr qint64 ObjectOpen = 3705;          // operation not allowed when the object is open
constexpr qint64 ProviderNotFound = 3706;    // provider cannot be found
constexpr qint64 RowChanged = 0x80040E38;    // the row was changed or deleted by someone else
constexpr qint64 Database = 0x80004005;      // any other failure of the database engine
} // namespace ErrorNumber

// The errors several places raise, each worded once.
namespace Errors {
inline RuntimeError objectClosed() {
    return RuntimeError(ErrorNumber::ObjectClosed,
                        QStringLiteral("Operation is not allowed when the object is closed."));
}
inline RuntimeError objectOpen() {
    return RuntimeError(ErrorNumber::ObjectOpen,
                        QStringLiteral("Operation is not allowed when the object is open."));
}
inline RuntimeError providerNotFound() {
    return RuntimeError(ErrorNumber::ProviderNotFound,
                        QStringLiteral("Provider cannot be found. It may not be properly "
                                       "installed."));
}
// Another program holds a lock for longer than a write waits; worded once for every store.
inline RuntimeError inUse(const QString& detail) {
    return RuntimeError(ErrorNumber::Database,
                        QStringLiteral("The records are in use by another program (%1). Try "
                                       "again in a moment.")
                            .arg(detail));
}
// A statement names a table the store does not hold; where is the store as described.
inline RuntimeError tableNotFound(const QString& name, const QString& where) {
    return RuntimeError(ErrorNumber::TableNotFound,
                        QStringLiteral("The table or query '%1' cannot be found in the %2. Make "
                                       "sure it exists and that its name is spelled correctly.")
                            .arg(name, where));
}
inline RuntimeError itemNotFound() {
    return RuntimeError(ErrorNumber::ItemNotFound,
                        QStringLiteral("Item cannot be found in the collection corresponding to "
                                       "the requested name or ordinal."));
}
} // namespace Errors
