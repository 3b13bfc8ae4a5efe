#include "import/accesssource.h"

#include "accessreader/accessframes.h"
#include "app/runtimeerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
using namespace AccessFrames;
constexpr qint64 BadInput = ErrorNumber::General;
// A reader that sends nothing for this long while it is waited for is stuck in a damaged file:
// it reads a page in far less, even from a slow disk, and sends what it read every 0.1 s.
constexpr int StallSeconds = 15;
constexpr qsizetype ReadBlock = 64 * 1024;
// Of a problem the reader tells; the rest would be no use in a message.
constexpr qsizetype ProblemLength = 1000;

[[noreturn]] void refuse(const QString& path, const QString& problem) {
    throw RuntimeError(
        BadInput,
        QStringLiteral("The Access file '%1' %2").arg(QDir::toNativeSeparators(path), problem));
}

[[noreturn]] void cancelled() {
    throw RuntimeError(BadInput, QStringLiteral("The import was cancelled."));
}

// How a reader that stopped before the end ended.
QString endOf(int status) {
    if (WIFSIGNALED(status))
        return QString::fromLocal8Bit(strsignal(WTERMSIG(status))).toLower();
    return QStringLiteral("exit status %1").arg(WEXITSTATUS(status));
}

// One run of the reader on one file: for the list of tables, or for one table. The thread that
// reads frames and one that cancels share it, under the file's lock.
class ReaderRun {
  public:
    ReaderRun(const QString& path, const QString& table, std::shared_ptr<AccessFile::Runs> runs);
    ~ReaderRun();
    ReaderRun(const ReaderRun&) = delete;
    ReaderRun& operator=(const ReaderRun&) = delete;

    // The next frame's kind; its payload stays in payload() until the next call. A Problem is
    // raised as what is wrong with the file; a reader that stops before the end or sends nothing
    // for StallSeconds, as a damaged file; one cancelled, as a cancelled import.
    Kind next();
    QByteArrayView payload() const { return m_payload; }
    // What the reader sent cannot be understood: only a reader gone wrong sends that.
    [[noreturn]] void garbled();
    void cancel();
    // Under the file's lock.
    void cancelLocked() {
        m_cancelled = true;
        if (m_pid > 0)
            ::kill(m_pid, SIGKILL);
    }

  private:
    void fill(qsizetype size);
    [[noreturn]] void stopped(bool stuck);
    int reapLocked(bool stop);

    QString m_path;
    std::shared_ptr<AccessFile::Runs> m_runs;
    pid_t m_pid = 0;          // under the lock, 0 once reaped
    bool m_cancelled = false; // under the lock
    int m_fd = -1;
    QByteArray m_buffer;
    qsizetype m_start = 0; // of the frames not yet read in m_buffer
    QByteArrayView m_payload;
};
} // namespace

struct AccessFile::Runs {
    std::mutex lock;
    std::vector<ReaderRun*> running;
    bool cancelled = false;
};

namespace {
ReaderRun::ReaderRun(const QString& path, const QString& table,
                     std::shared_ptr<AccessFile::Runs> runs)
    : m_path(path), m_runs(std::move(runs)) {
    const QString reader = accessReaderProgram();
    const QByteArray program = QFile::encodeName(reader), file = QFile::encodeName(path),
                     name = table.toUtf8();
    char* arguments[] = {const_cast<char*>(program.constData()),
                         const_cast<char*>(file.constData()),
                         table.isNull() ? nullptr : const_cast<char*>(name.constData()), nullptr};
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        throw RuntimeError(BadInput, QStringLiteral("The Access reader cannot be started: %1.")
                                         .arg(QString::fromLocal8Bit(strerror(errno))));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    // libmdb's warnings about a damaged file are of no use to the user.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t chosen;
    sigemptyset(&chosen);
    posix_spawnattr_setsigmask(&attributes, &chosen);
    for (const int signal : {SIGPIPE, SIGXCPU, SIGALRM})
        sigaddset(&chosen, signal);
    posix_spawnattr_setsigdefault(&attributes, &chosen);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    int failure = ECANCELED;
    {
        const std::lock_guard lock(m_runs->lock);
        if (!m_runs->cancelled) {
            failure =
                posix_spawn(&m_pid, program.constData(), &actions, &attributes, arguments, environ);
            if (!failure)
                m_runs->running.push_back(this);
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(ends[1]);
    m_fd = ends[0];
    if (!failure)
        return;
    ::close(m_fd);
    m_pid = 0;
    if (failure == ECANCELED)
        cancelled();
    throw RuntimeError(BadInput, QStringLiteral("The Access reader '%1' cannot be started: %2.")
                                     .arg(QDir::toNativeSeparators(reader),
                                          QString::fromLocal8Bit(strerror(failure))));
}

ReaderRun::~ReaderRun() {
    ::close(m_fd);
    const std::lock_guard lock(m_runs->lock);
    reapLocked(true);
    std::erase(m_runs->running, this);
}

int ReaderRun::reapLocked(bool stop) {
    int status = 0;
    if (m_pid <= 0)
        return status;
    if (stop)
        ::kill(m_pid, SIGKILL);
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = 0;
    return status;
}

void ReaderRun::cancel() {
    const std::lock_guard lock(m_runs->lock);
    cancelLocked();
}

void ReaderRun::stopped(bool stuck) {
    bool wasCancelled;
    int status;
    {
        const std::lock_guard lock(m_runs->lock);
        wasCancelled = m_cancelled;
        // The reader's output ended: it is ending too, and how tells what went wrong.
        status = reapLocked(stuck);
    }
    if (wasCancelled)
        cancelled();
    if (stuck)
        refuse(m_path, QStringLiteral("is damaged: reading it came to no end (nothing more was "
                                      "read for %1 seconds).")
                           .arg(StallSeconds));
    refuse(m_path, QStringLiteral("is damaged: reading it failed (%1).").arg(endOf(status)));
}

void ReaderRun::garbled() {
    {
        const std::lock_guard lock(m_runs->lock);
        reapLocked(true);
    }
    refuse(m_path, QStringLiteral("is damaged: what was read from it makes no sense."));
}

void ReaderRun::fill(qsizetype size) {
    while (m_buffer.size() - m_start < size) {
        if (m_start > 0) {
            m_buffer.remove(0, m_start);
            m_start = 0;
        }
        pollfd wanted{m_fd, POLLIN, 0};
        const int ready = poll(&wanted, 1, StallSeconds * 1000);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            stopped(true);
        const qsizetype had = m_buffer.size();
        m_buffer.resize(had + std::max(ReadBlock, size - had));
        const ssize_t got = ::read(m_fd, m_buffer.data() + had, size_t(m_buffer.size() - had));
        m_buffer.resize(had + std::max<qsizetype>(got, 0));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            stopped(false);
    }
}

Kind ReaderRun::next() {
    fill(HeaderSize);
    const char* head = m_buffer.constData() + m_start;
    const quint32 size = qFromLittleEndian<quint32>(head);
    const char kind = head[4];
    if (size > MaxPayload)
        garbled();
    fill(HeaderSize + size);
    m_payload = QByteArrayView(m_buffer.constData() + m_start + HeaderSize, size);
    m_start += HeaderSize + size;
    if (kind == Problem)
        refuse(m_path,
               QString::fromUtf8(m_payload.first(std::min(m_payload.size(), ProblemLength))));
    return Kind(kind);
}

// The parts of a frame's payload, read in order.
class Parts {
  public:
    Parts(ReaderRun& run) : m_run(run), m_rest(run.payload()) {}
    bool atEnd() const { return m_rest.isEmpty(); }
    QByteArrayView bytes(qsizetype size) {
        if (size > m_rest.size())
            m_run.garbled();
        const QByteArrayView part = m_rest.first(size);
        m_rest = m_rest.sliced(size);
        return part;
    }
    quint8 byte() { return quint8(bytes(1)[0]); }
    quint32 number() { return qFromLittleEndian<quint32>(bytes(4).data()); }

  private:
    ReaderRun& m_run;
    QByteArrayView m_rest;
};

// One table: its columns read at once, its rows as they are asked for.
class AccessTable : public TableSource {
  public:
    AccessTable(std::unique_ptr<ReaderRun> run, const QString& name)
        : m_run(std::move(run)), m_name(name) {
        if (m_run->next() != Columns)
            m_run->garbled();
        for (Parts parts(*m_run); !parts.atEnd();) {
            const quint8 flags = parts.byte();
            const QString column = QString::fromUtf8(parts.bytes(parts.number()));
            if (flags & Skipped)
                m_skipped << column;
            else
                m_columns.push_back({column, bool(flags & YesNo), bool(flags & Multiline), true});
        }
    }

    QString label() const override { return m_name; }
    const std::vector<SourceColumn>& columns() const override { return m_columns; }
    QStringList skippedColumns() const override { return m_skipped; }

    bool next(std::vector<SourceCell>& cells) override {
        const Kind kind = m_run->next();
        if (kind == End)
            return false;
        if (kind != Row)
            m_run->garbled();
        Parts parts(*m_run);
        cells.resize(m_columns.size());
        for (SourceCell& cell : cells) {
            const quint32 size = parts.number();
            const QByteArrayView value = size == NoValue ? QByteArrayView() : parts.bytes(size);
            cell = SourceCell{value.data(), value.size()};
        }
        if (!parts.atEnd())
            m_run->garbled();
        return true;
    }

    void cancel() override { m_run->cancel(); }

  private:
    std::unique_ptr<ReaderRun> m_run;
    QString m_name;
    std::vector<SourceColumn> m_columns;
    QStringList m_skipped;
};
} // namespace

bool isAccessFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(32);
    return head.size() == 32 &&
           (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB");
}

QString accessReaderProgram() {
    const QString given = qEnvironmentVariable("LEDGERLOOM_ACCESS_READER");
    return !given.isEmpty() ? given
                            : QCoreApplication::applicationDirPath() +
                                  QStringLiteral("/ledgerloom-access-reader");
}

AccessFile::AccessFile(const QString& path, const LongWorkRunner& run)
    : m_path(path), m_runs(std::make_shared<Runs>()) {
    const auto readNames = [this] {
        ReaderRun reader(m_path, QString(), m_runs);
        for (Kind kind; (kind = reader.next()) != End;) {
            if (kind != TableName)
                reader.garbled();
            m_tables << QString::fromUtf8(reader.payload());
        }
    };
    if (!run(QStringLiteral("Reading %1...").arg(QFileInfo(path).fileName()), readNames,
             [this] { cancel(); }))
        cancelled();
}

AccessFile::~AccessFile() = default;

QStringList AccessFile::tableNames() const {
    return m_tables;
}

std::unique_ptr<TableSource> AccessFile::openTable(const QString& name) {
    if (!m_tables.contains(name))
        refuse(m_path, QStringLiteral("has no table named '%1'.").arg(name));
    return std::make_unique<AccessTable>(std::make_unique<ReaderRun>(m_path, name, m_runs), name);
}

void AccessFile::cancel() {
    const std::lock_guard lock(m_runs->lock);
    m_runs->cancelled = true;
    for (ReaderRun* run : m_runs->running)
        run->cancelLocked();
}
