#pragma once

#include "app/messages.h"
#include "app/runtimeerror.h"

#include <QString>
#include <source_location>
#include <utility>

// The error trap every handler installs at entry. Each statement runs through it; a failure is
// reported with the location and the line of the failing statement, and the handler goes on
// with its next statement. Where going on would lose data, the handler asks failed() and stops.
class ErrorTrap {
  public:
    ErrorTrap(MessageService& messages, QString window, QString procedure)
        : m_messages(messages), m_window(std::move(window)), m_procedure(std::move(procedure)) {}

    // Errors with this number resume silently (a missing table while a page is built, say).
    void resumeSilentlyOn(qint64 number) { m_silentNumber = number; }

    template <class Statement>
    bool operator()(Statement&& statement,
                    std::source_location where = std::source_location::current()) {
        try {
            std::forward<Statement>(statement)();
            return true;
        } catch (const RuntimeError& e) {
            report(e.number(), e.description(), where.line());
        } catch (const std::exception& e) {
            report(ErrorNumber::General, QString::fromUtf8(e.what()), where.line());
        }
        return false;
    }

    // Reports a failure found without an exception.
    void report(qint64 number, const QString& description, unsigned line);

    bool failed() const { return m_failures > 0; }
    int failures() const { return m_failures; }
    QString location() const;

    static QString messageText(const QString& description, const QString& location, unsigned line);
    static const QString& supportAddress();

  private:
    MessageService& m_messages;
    QString m_window;
    QString m_procedure;
    qint64 m_silentNumber = 0;
    int m_failures = 0;
};
