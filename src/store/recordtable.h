#pragma once

#include <QString>
#include <vector>

class Connection;

// What a table of all records asks for: the records passing every filter, in an order.
struct TableQuery {
    // A filter: the records whose value in the column holds the text, as the search matches.
    struct Filter {
        QString column;
        QString text;
    };
    // The column ordered by; empty for id order.
    QString orderColumn;
    bool descending = false;
    std::vector<Filter> filters;
};

// The ids of the records the query asks for, in its order: values in the order of their kind,
// empty values last whichever the direction, ties by id.
std::vector<qint64> selectTableIds(Connection& connection, const TableQuery& query);
// How many records there are in all.
qint64 countRecords(Connection& connection);
