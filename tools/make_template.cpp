// Makes a fresh SQLite data file from a schema file of SQL statements.
//
//   make_template SCHEMA.sql OUTPUT
//
// The file is built under a temporary name beside OUTPUT and renamed into place only when
// complete, so an interrupted build never leaves a half-made template that looks finished.

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool readFile(const fs::path& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return !in.bad();
}

// Leftovers of an earlier run would make SQLite open an old file instead of a new one.
void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

bool build(const fs::path& target, const std::string& schema) {
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(target.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        std::cerr << "make_template: cannot create " << target << ": "
                  << (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) << '\n';
        sqlite3_close(db);
        return false;
    }
    char* error = nullptr;
    rc = sqlite3_exec(db, schema.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::cerr << "make_template: schema failed: " << (error ? error : sqlite3_errstr(rc))
                  << '\n';
        sqlite3_free(error);
        sqlite3_close(db);
        return false;
    }
    // An empty schema would leave a zero-byte file, which is no database at all.
    sqlite3_stmt* stmt = nullptr;
    int tables = 0;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table'", -1, &stmt,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        tables = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    if (sqlite3_close(db) != SQLITE_OK) {
        std::cerr << "make_template: cannot close " << target << '\n';
        return false;
    }
    if (tables == 0) {
        std::cerr << "make_template: the schema made no table\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_template SCHEMA.sql OUTPUT\n";
        return 2;
    }
    const fs::path schemaPath = argv[1];
    const fs::path output = argv[2];
    fs::path temporary = output;
    temporary += ".tmp";

    std::string schema;
    if (!readFile(schemaPath, schema)) {
        std::cerr << "make_template: cannot read " << schemaPath << '\n';
        return 1;
    }

    removeQuietly(temporary);
    removeQuietly(fs::path(temporary.string() + "-journal"));
    if (!build(temporary, schema)) {
        removeQuietly(temporary);
        return 1;
    }

    std::error_code ec;
    fs::remove(output, ec);
    if (ec) {
        std::cerr << "make_template: cannot replace " << output << ": " << ec.message() << '\n';
        removeQuietly(temporary);
        return 1;
    }
    fs::rename(temporary, output, ec);
    if (ec) {
        std::cerr << "make_template: cannot rename to " << output << ": " << ec.message() << '\n';
        removeQuietly(temporary);
        return 1;
    }
    return 0;
}
