#include "sqlite_database.h"

namespace platform::registry::sqlite {

Status StatusOf(int sqliteResult) {
    switch (sqliteResult & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return kSuccess;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return kErrorBusy;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return kErrorAccessDenied;
    case SQLITE_NOMEM:
        return kErrorOutOfMemory;
    case SQLITE_FULL:
        return kErrorDiskFull;
    case SQLITE_TOOBIG:
    case SQLITE_RANGE:
        return kErrorInvalidParameter;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return kErrorIoFailed;
    default: // SQLITE_CORRUPT, SQLITE_NOTADB, SQLITE_SCHEMA, SQLITE_ERROR, ...
        return kErrorBadDb;
    }
}

Statement::Statement(sqlite3* db, const char* sql) {
    prepareResult_ = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement_, nullptr);
    if (prepareResult_ != SQLITE_OK) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
}

Statement::~Statement() { sqlite3_finalize(statement_); }

Use::~Use() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

void Use::Bind(int index, std::int64_t value) { sqlite3_bind_int64(statement_, index, value); }

void Use::BindBlob(int index, const void* data, std::size_t size) {
    if (size == 0) {
        sqlite3_bind_zeroblob(statement_, index, 0);
    } else {
        sqlite3_bind_blob64(statement_, index, data, size, SQLITE_TRANSIENT);
    }
}

int Use::Step() { return sqlite3_step(statement_); }

std::int64_t Use::Integer(int column) const { return sqlite3_column_int64(statement_, column); }

const void* Use::BlobData(int column) const { return sqlite3_column_blob(statement_, column); }

std::size_t Use::BlobSize(int column) const {
    return static_cast<std::size_t>(sqlite3_column_bytes(statement_, column));
}

std::string Use::Blob(int column) const {
    const void* data = BlobData(column);
    const std::size_t size = BlobSize(column);
    return data == nullptr ? std::string() : std::string(static_cast<const char*>(data), size);
}

Database::~Database() {
    statements_.clear(); // statements must be finalized before the connection closes
    sqlite3_close(db_);
}

int Database::Open(const std::string& path, bool readOnly, std::uint32_t busyTimeoutMs) {
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    int result = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (result != SQLITE_OK) {
        return result;
    }
    sqlite3_extended_result_codes(db_, 1);
    // The file may come from anywhere: never let its schema run code or write the file raw.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_busy_timeout(db_, static_cast<int>(busyTimeoutMs));
    return SQLITE_OK;
}

int Database::Execute(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

Statement* Database::Prepare(const char* sql, int* result) {
    auto found = statements_.find(sql);
    if (found != statements_.end()) {
        *result = SQLITE_OK;
        return found->second.get();
    }
    auto statement = std::make_unique<Statement>(db_, sql);
    *result = statement->PrepareResult();
    if (!statement->Prepared()) {
        return nullptr;
    }
    Statement* raw = statement.get();
    statements_.emplace(sql, std::move(statement));
    return raw;
}

std::string Database::LastError() const { return db_ == nullptr ? std::string() : sqlite3_errmsg(db_); }

Transaction::Transaction(Database& db, bool writing)
    : db_(db), beginResult_(db.Execute(writing ? "BEGIN IMMEDIATE" : "BEGIN")), open_(beginResult_ == SQLITE_OK) {}

Transaction::~Transaction() {
    if (open_) {
        db_.Execute("ROLLBACK");
    }
}

int Transaction::Commit() {
    const int result = db_.Execute("COMMIT");
    if (result == SQLITE_OK) {
        open_ = false;
    }
    return result;
}

} // namespace platform::registry::sqlite
