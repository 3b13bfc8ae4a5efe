#pragma once

#include <QString>
#include <optional>
#include <vector>

class Connection;

// What a table of all records asks for: the records passing every filter, in an order.
struct TableQuery {
    // A filter: the records whose value in the column holds the text, as the search matches.
    // In a column of numbers, money or dates (and the id's), a text such as "> 5", ">= 5",
    // "< 5", "<= 5", "= 5" or "1..5" (either side may be left out), with the values in the
    // user's locale or canonical, instead passes the values so compared; a date without a time
    // stands for the whole day.
    struct Filter {
        QString column;
        QString text;
    };
    // The column ordered by; empty for id order.
    QString orderColumn;
    bool descending = false;
    std::vector<Filter> filters;
    // When given, only these records are asked for (those a search found).
    std::optional<std::vector<qint64>> among;
};

// The ids of the records the query asks for, in its order: values in the order of their field's
// kind, empty values (Null or the empty text) last whichever the direction, ties by id. Text
// in the user's locale's order; numbers and money by their value, dates by time (a date alone
// before the same day with a time). A value of such a field that is not a plain number or a
// date ("n/a", from before the field had its kind) comes after those that are, in either
// direction, in the order of text.
std::vector<qint64> selectTableIds(Connection& connection, const TableQuery& query);
// The first ids of that order only, at most `count`.
std::vector<qint64> selectFirstTableIds(Connection& connection, const TableQuery& query, int count);
// How many records there are in all.
qint64 countRecords(Connection& connection);
