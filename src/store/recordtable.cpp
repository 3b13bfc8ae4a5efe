#include "store/recordtable.h"

#include "store/connection.h"
#include "store/schema.h"
#include "store/statement.h"

std::vector<qint64> selectTableIds(Connection& connection, const TableQuery& query) {
    (void)query;
    Statement read(connection, Sql::SelectRecordIds);
    std::vector<qint64> ids;
    while (read.step())
        ids.push_back(read.columnInt64(0));
    return ids;
}

qint64 countRecords(Connection& connection) {
    Statement count(connection, Sql::CountRecords);
    return count.step() ? count.columnInt64(0) : 0;
}
