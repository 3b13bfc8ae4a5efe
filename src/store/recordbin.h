#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <map>
#include <vector>

class Connection;

// A record's values by column name; Null is an invalid QVariant, apart from the empty text.
using RecordValues = std::map<QString, QVariant>;

// One record in the bin, as its list shows it.
struct BinEntry {
    qint64 key = 0;    // the bin's own key of the entry
    qint64 id = 0;     // the record's id when it was deleted
    QString deletedAt; // UTC, ISO 8601 with milliseconds
    RecordValues values;
};

// Where the records deleted are kept, in the same store: a delete moves the record there in
// its own transaction, and a restore brings it back, with its id when that is free. Every
// function here is one transaction; a failure raises a run-time error and changes nothing.
namespace RecordBin {

// Moves the record with this id into the bin; the entry's key, or 0 when there is no such
// record. Within a transaction the caller has begun, the other one runs in its own.
qint64 moveWithin(Connection& connection, qint64 id);
qint64 move(Connection& connection, qint64 id);
// The same for many records, inside the caller's transaction, a chunk of ids at a time: each
// entry's key in the order of the ids, 0 for an id with no record (the others move all the same).
std::vector<qint64> moveAllWithin(Connection& connection, const std::vector<qint64>& ids);

// What a restore does when the entry's id was taken again meanwhile.
enum class WhenIdTaken { NewId, Refuse };
struct Restored {
    qint64 id = 0;
    bool newId = false; // the entry's id was taken, so the record came back under this one
};
// Brings the entry back as a record; refused (ErrorNumber::RowChanged) when it is no longer in
// the bin, or when its id is taken and WhenIdTaken::Refuse. Values of columns that are gone are
// left out.
Restored restoreWithin(Connection& connection, qint64 key, WhenIdTaken whenTaken);
Restored restore(Connection& connection, qint64 key, WhenIdTaken whenTaken);
// Brings many entries back under their own ids, inside the caller's transaction, a chunk of keys
// at a time; refused as restoreWithin with WhenIdTaken::Refuse is at the first entry it refuses.
void restoreAllWithin(Connection& connection, const std::vector<qint64>& keys);

// Entries newest first, at most count of those with a key below beforeKey.
std::vector<BinEntry> entries(Connection& connection, qint64 beforeKey, int count);
qint64 count(Connection& connection);
// Deletes every entry for good.
void empty(Connection& connection);

} // namespace RecordBin
