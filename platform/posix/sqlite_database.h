#pragma once
// Small RAII wrappers over the SQLite C interface, used by the registry store. Internal to the
// POSIX platform layer.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include <sqlite3.h>

#include "platform/registry.h"

namespace platform::registry::sqlite {

// The registry error number that stands for an SQLite result code.
Status StatusOf(int sqliteResult);

// One prepared statement, reset (bindings cleared) whenever a Use of it ends.
class Statement {
public:
    Statement(sqlite3* db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Prepared() const { return statement_ != nullptr; }
    int PrepareResult() const { return prepareResult_; }
    sqlite3_stmt* Get() const { return statement_; }

private:
    sqlite3_stmt* statement_ = nullptr;
    int prepareResult_ = SQLITE_OK;
};

// A statement in use: binds parameters (1-based), steps, reads columns; resets on destruction.
class Use {
public:
    explicit Use(Statement& statement) : statement_(statement.Get()) {}
    ~Use();
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

    void Bind(int index, std::int64_t value);
    // Binds bytes as a blob; an empty blob stays an empty blob (never NULL).
    void BindBlob(int index, const void* data, std::size_t size);
    void BindBlob(int index, const std::string& bytes) { BindBlob(index, bytes.data(), bytes.size()); }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step();

    std::int64_t Integer(int column) const;
    std::string Blob(int column) const;
    const void* BlobData(int column) const;
    std::size_t BlobSize(int column) const;

private:
    sqlite3_stmt* statement_;
};

// A database connection with a cache of prepared statements.
class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens path; readOnly opens it without write access. Returns an SQLite result code.
    int Open(const std::string& path, bool readOnly, std::uint32_t busyTimeoutMs);
    sqlite3* Handle() const { return db_; }

    // Runs SQL without results; returns an SQLite result code.
    int Execute(const char* sql);
    // The prepared statement for sql (prepared on first use). Null when it cannot be prepared,
    // with *result set to the SQLite result code.
    Statement* Prepare(const char* sql, int* result);
    std::string LastError() const;

private:
    sqlite3* db_ = nullptr;
    std::map<std::string, std::unique_ptr<Statement>> statements_;
};

// A transaction that rolls back unless committed. Writing transactions take the write lock at
// once (BEGIN IMMEDIATE), so two writers never both hold a read lock they want to upgrade.
class Transaction {
public:
    Transaction(Database& db, bool writing);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    int BeginResult() const { return beginResult_; }
    int Commit();

private:
    Database& db_;
    int beginResult_;
    bool open_;
};

} // namespace platform::registry::sqlite
