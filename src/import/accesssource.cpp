#include "import/accesssource.h"

#include "app/runtimeerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <mdbtools.h>

namespace {
constexpr qint64 BadInput = ErrorNumber::General;
// Long texts (memo columns) are read whole up to this many bytes, as mdb-export does.
constexpr size_t BindSize = 200000;

enum HeaderVersion { Jet3 = 0, Jet4 = 1 };

[[noreturn]] void refuse(const QString& path, const QString& problem) {
    throw RuntimeError(
        BadInput,
        QStringLiteral("The Access file '%1' %2").arg(QDir::toNativeSeparators(path), problem));
}

quint16 word(const QByteArray& bytes, int offset) {
    return quint16(quint8(bytes[offset]) | quint8(bytes[offset + 1]) << 8);
}

// The database password is kept in the header, masked with fixed bytes (and, from Jet 4 on,
// with a word derived from the creation date); an empty password unmasks to zero.
bool hasPassword(const QByteArray& head) {
    const int version = quint8(head[0x14]);
    if (version == Jet3)
        return (quint8(head[0x42]) ^ 0x86) != 0;
    constexpr quint16 FirstMask = 0x6aba, DateMask = 0x24ae;
    quint16 first = word(head, 0x42) ^ FirstMask;
    if (first > 0xff)
        first ^= word(head, 0x66) ^ DateMask;
    return first != 0;
}

bool isBinary(int type) {
    return type == MDB_OLE || type == MDB_BINARY || type == MDB_COMPLEX;
}

// One table: every text column bound to a buffer that each fetched row fills.
class AccessTable : public TableSource {
  public:
    AccessTable(const QString& path, MdbTableDef* table) : m_path(path), m_table(table) {
        mdb_read_columns(m_table);
        mdb_rewind_table(m_table);
        // libmdb keeps pointers into the bound buffers: they must never move.
        m_bound.reserve(m_table->num_cols);
        for (unsigned i = 0; i < m_table->num_cols; ++i) {
            auto* column = static_cast<MdbColumn*>(g_ptr_array_index(m_table->columns, i));
            if (isBinary(column->col_type))
                continue;
            m_columns.push_back({QString::fromUtf8(column->name), column->col_type == MDB_BOOL});
            m_bound.push_back({std::make_unique<char[]>(BindSize), 0});
            mdb_bind_column(m_table, int(i) + 1, m_bound.back().buffer.get(),
                            &m_bound.back().length);
        }
        m_expectedRows = m_table->num_rows;
    }
    ~AccessTable() override { mdb_free_tabledef(m_table); }

    QString label() const override { return QString::fromUtf8(m_table->name); }
    const std::vector<SourceColumn>& columns() const override { return m_columns; }

    bool next(std::vector<SourceCell>& cells) override {
        if (!mdb_fetch_row(m_table)) {
            // A damaged file can end a table early without an error from the reader.
            if (m_rows < m_expectedRows)
                refuse(m_path, QStringLiteral("is damaged: the table '%1' should hold %L2 records, "
                                              "but only %L3 could be read.")
                                   .arg(label())
                                   .arg(m_expectedRows)
                                   .arg(m_rows));
            return false;
        }
        ++m_rows;
        cells.resize(m_bound.size());
        for (size_t i = 0; i < m_bound.size(); ++i) {
            const Bound& b = m_bound[i];
            cells[i] = b.length > 0 ? SourceCell{b.buffer.get(), b.length} : SourceCell{};
        }
        return true;
    }

  private:
    struct Bound {
        std::unique_ptr<char[]> buffer;
        int length;
    };
    QString m_path;
    MdbTableDef* m_table;
    std::vector<SourceColumn> m_columns;
    std::vector<Bound> m_bound;
    unsigned long m_rows = 0;
    unsigned long m_expectedRows = 0;
};

// The header and size checks that libmdb does not make before it reads pages.
void checkHeader(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse(path, QStringLiteral("cannot be read: %1.").arg(file.errorString()));
    const QByteArray head = file.read(0x80);
    if (head.size() < 0x80 || !isAccessFile(path))
        refuse(path, QStringLiteral("is not an Access database."));
    const qint64 pageSize = quint8(head[0x14]) == Jet3 ? 2048 : 4096;
    if (file.size() < 2 * pageSize || file.size() % pageSize != 0)
        refuse(path, QStringLiteral("is cut off or damaged: its size is not a whole number of "
                                    "database pages."));
    if (hasPassword(head))
        refuse(path, QStringLiteral("is protected with a password. Remove the password in "
                                    "Access (open it exclusively, then Database Tools, Decrypt "
                                    "Database / Unset Database Password) and import it again."));
}
} // namespace

bool isAccessFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(32);
    return head.size() == 32 &&
           (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB");
}

struct AccessFile::Handle {
    MdbHandle* mdb = nullptr;
    ~Handle() {
        if (mdb)
            mdb_close(mdb);
    }
};

AccessFile::AccessFile(const QString& path) : m_path(path), m_handle(std::make_unique<Handle>()) {
    checkHeader(path);
    m_handle->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    MdbHandle* mdb = m_handle->mdb;
    if (!mdb || !mdb_read_catalog(mdb, MDB_TABLE)) {
        refuse(path, QStringLiteral("is damaged or encrypted: its list of tables cannot be read."));
    }
    mdb_set_bind_size(mdb, BindSize);
    mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb, "%Y-%m-%d");
    mdb_set_boolean_fmt_numbers(mdb);
}

AccessFile::~AccessFile() = default;

QStringList AccessFile::tableNames() const {
    QStringList names;
    const MdbHandle* mdb = m_handle->mdb;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (mdb_is_user_table(entry))
            names << QString::fromUtf8(entry->object_name);
    }
    return names;
}

std::unique_ptr<TableSource> AccessFile::openTable(const QString& name) {
    MdbHandle* mdb = m_handle->mdb;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (!mdb_is_user_table(entry) || QString::fromUtf8(entry->object_name) != name)
            continue;
        MdbTableDef* table = mdb_read_table(entry);
        if (!table)
            refuse(m_path, QStringLiteral("is damaged: the table '%1' cannot be read.").arg(name));
        return std::make_unique<AccessTable>(m_path, table);
    }
    refuse(m_path, QStringLiteral("has no table named '%1'.").arg(name));
}
