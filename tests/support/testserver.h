#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A PostgreSQL server of this test process alone, started on first use and stopped (its folder
// removed) when the process exits. It listens only on a Unix socket in its own folder and trusts
// whoever reaches it there. As root it runs as the `postgres` user, which initdb requires.
class TestServer {
  public:
    static TestServer& shared();
    ~TestServer() { stop(); }

    // Started and reachable; otherwise `why` says what is missing or what failed.
    bool available(QString* why = nullptr);
    // Lines for postgresql.conf beyond the small defaults of the tests (later lines win), such
    // as the memory a benchmark needs; only before the server's first use.
    void addSettings(const QString& lines) { m_settings += lines + '\n'; }
    // A fresh database owned by the unprivileged role `ledgerloom_user`, with pg_trgm already
    // created in it; returns the connection string for that role. Empty if the server is missing.
    QString newDatabase();
    // The same database as newDatabase() gave it, reached as the superuser, as an
    // administrator would.
    QString superuserConnection(const QString& database) const;
    // Fast shutdown and start again: open connections are cut, as a server restart does to the
    // program. stop() and start() do either half; databases made before are kept.
    bool restart() { return stop() && start(); }
    bool stop();
    bool start();

  private:
    TestServer() = default;
    bool run(const QString& program, const QStringList& arguments);
    bool superuserExec(const QString& database, const QString& sql);
    QString connection(const QString& database, const QString& user) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_bin;
    QString m_error;
    QString m_settings;
    int m_port = 0;
    int m_databases = 0;
    bool m_tried = false;
    bool m_running = false;
};
