#include "accessreader/accessreader.h"

#include "accessreader/accessframes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

// Last: it includes glib within its extern "C" block, and glib's C++ parts must come first.
#include <mdbtools.h>

namespace {
using namespace AccessFrames;

enum HeaderVersion { Jet3 = 0 };
// Access allows no more in one table.
constexpr unsigned MaxColumns = 255;

// What is wrong with the file, said after "The Access file '...' ".
struct Refusal {
    std::string problem;
};

[[noreturn]] void refuse(std::string problem) {
    throw Refusal{std::move(problem)};
}

// 1234567 as "1,234,567", as the program writes numbers in its messages.
std::string grouped(unsigned long number) {
    std::string digits = std::to_string(number);
    for (int at = int(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(size_t(at), 1, ',');
    return digits;
}

// A frame being put together, sent whole.
class Frame {
  public:
    explicit Frame(Kind kind) { start(kind); }
    void start(Kind kind) {
        m_bytes.assign(HeaderSize, '\0');
        m_bytes[4] = kind;
    }
    void byte(uint8_t value) { m_bytes += char(value); }
    void number(uint32_t n) {
        const char bytes[4] = {char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
        m_bytes.append(bytes, 4);
    }
    void bytes(const char* data, size_t size) { m_bytes.append(data, size); }
    void text(const char* data) {
        number(uint32_t(std::strlen(data)));
        bytes(data, std::strlen(data));
    }
    void send(FrameSink& out) {
        const size_t size = m_bytes.size() - HeaderSize;
        if (size > MaxPayload)
            refuse("is damaged: one of its records is larger than any Access record.");
        for (int i = 0; i < 4; ++i)
            m_bytes[size_t(i)] = char(size >> (8 * i));
        out.write(m_bytes.data(), m_bytes.size());
    }

  private:
    std::string m_bytes;
};

unsigned word(const unsigned char* head, int offset) {
    return unsigned(head[offset] | head[offset + 1] << 8);
}

// The database password is kept in the header, masked with fixed bytes (and, from Jet 4 on,
// with a word derived from the creation date); an empty password unmasks to zero.
bool hasPassword(const unsigned char* head) {
    if (head[0x14] == Jet3)
        return (head[0x42] ^ 0x86) != 0;
    constexpr unsigned FirstMask = 0x6aba, DateMask = 0x24ae;
    unsigned first = word(head, 0x42) ^ FirstMask;
    if (first > 0xff)
        first ^= word(head, 0x66) ^ DateMask;
    return first != 0;
}

// The header and size checks that libmdb does not make before it reads pages.
void checkHeader(const char* path) {
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), std::fclose);
    if (!file)
        refuse(std::string("cannot be read: ") + std::strerror(errno) + ".");
    unsigned char head[0x80];
    if (std::fread(head, 1, sizeof head, file.get()) < sizeof head ||
        (std::memcmp(head + 4, "Standard Jet DB", 15) &&
         std::memcmp(head + 4, "Standard ACE DB", 15)))
        refuse("is not an Access database.");
    const long pageSize = head[0x14] == Jet3 ? 2048 : 4096;
    const long size = std::fseek(file.get(), 0, SEEK_END) == 0 ? std::ftell(file.get()) : -1;
    if (size < 2 * pageSize || size % pageSize != 0)
        refuse("is cut off or damaged: its size is not a whole number of database pages.");
    if (hasPassword(head))
        refuse("is protected with a password. Remove the password in Access (open it "
               "exclusively, then Database Tools, Decrypt Database / Unset Database Password) "
               "and import it again.");
}

bool isBinary(int type) {
    return type == MDB_OLE || type == MDB_BINARY || type == MDB_COMPLEX;
}

// Sends the columns, then every row: each column that is not binary is bound to a buffer that
// each fetched row fills.
void sendTable(MdbCatalogEntry* entry, FrameSink& out) {
    const std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> table(mdb_read_table(entry),
                                                                     mdb_free_tabledef);
    const std::string name = entry->object_name;
    if (!table)
        refuse("is damaged: the table '" + name + "' cannot be read.");
    if (table->num_cols > MaxColumns)
        refuse("is damaged: the table '" + name + "' has " + grouped(table->num_cols) +
               " columns, more than Access allows.");
    if (!mdb_read_columns(table.get()) || table->columns->len != table->num_cols)
        refuse("is damaged: the columns of the table '" + name + "' cannot be read.");
    mdb_rewind_table(table.get());
    struct Bound {
        std::unique_ptr<char[]> buffer;
        int length = 0;
    };
    // libmdb keeps pointers into the bound buffers: they must never move.
    std::vector<Bound> bound;
    bound.reserve(table->num_cols);
    Frame frame(Columns);
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        const bool binary = isBinary(column->col_type);
        frame.byte(binary                         ? Skipped
                   : column->col_type == MDB_BOOL ? YesNo
                   : column->col_type == MDB_MEMO ? Multiline
                                                  : 0);
        frame.text(column->name);
        if (binary)
            continue;
        bound.push_back({std::make_unique<char[]>(MaxValue), 0});
        mdb_bind_column(table.get(), int(i) + 1, bound.back().buffer.get(), &bound.back().length);
    }
    frame.send(out);
    unsigned long rows = 0;
    while (mdb_fetch_row(table.get())) {
        ++rows;
        frame.start(Row);
        for (const Bound& b : bound) {
            // libmdb gives a missing value and the empty text alike: no bytes.
            if (b.length <= 0 || unsigned(b.length) > MaxValue) {
                frame.number(NoValue);
                continue;
            }
            frame.number(uint32_t(b.length));
            frame.bytes(b.buffer.get(), size_t(b.length));
        }
        frame.send(out);
    }
    // A damaged file can end a table early without an error from libmdb.
    if (rows < table->num_rows)
        refuse("is damaged: the table '" + name + "' should hold " + grouped(table->num_rows) +
               " records, but only " + grouped(rows) + " could be read.");
}

void send(const char* path, const char* tableName, FrameSink& out) {
    checkHeader(path);
    const std::unique_ptr<MdbHandle, void (*)(MdbHandle*)> mdb(mdb_open(path, MDB_NOFLAGS),
                                                               mdb_close);
    if (!mdb || !mdb_read_catalog(mdb.get(), MDB_TABLE))
        refuse("is damaged or encrypted: its list of tables cannot be read.");
    mdb_set_bind_size(mdb.get(), MaxValue);
    mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb.get(), "%Y-%m-%d");
    mdb_set_boolean_fmt_numbers(mdb.get());
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (!mdb_is_user_table(entry))
            continue;
        if (!tableName) {
            Frame frame(TableName);
            frame.bytes(entry->object_name, std::strlen(entry->object_name));
            frame.send(out);
            // What a damaged definition does to libmdb happens here, while the list is read,
            // and not later when the table is opened. A definition that cannot be read is
            // reported then.
            if (const auto table = mdb_read_table(entry)) {
                mdb_read_columns(table);
                mdb_free_tabledef(table);
            }
        } else if (!std::strcmp(entry->object_name, tableName)) {
            sendTable(entry, out);
            return;
        }
    }
    if (tableName)
        refuse(std::string("has no table named '") + tableName + "'.");
}
} // namespace

void readAccess(const char* path, const char* table, FrameSink& out) {
    std::string problem;
    try {
        send(path, table, out);
        Frame(End).send(out);
        return;
    } catch (const Refusal& refusal) {
        problem = refusal.problem;
    } catch (const std::bad_alloc&) {
        problem = "is damaged: reading it needs more memory than the reader may take.";
    }
    Frame frame(Problem);
    frame.bytes(problem.data(), problem.size());
    frame.send(out);
}
