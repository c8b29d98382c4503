// The registry store: the Windows registry's rules over one SQLite file (see registry_store.h).
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/registry_store.h"
#include "platform/unicode_case.h"
#include "registry_store_core.h"
#include "registry_store_names.h"

namespace platform::registry {
namespace {

// "MLRG": marks a file as a registry store; the version tells its layout.
constexpr std::int64_t kApplicationId = 0x4D4C5247;
constexpr std::int64_t kLayoutVersion = 1;

constexpr const char16_t* kRootNames[kRootCount] = {
    u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER",    u"HKEY_LOCAL_MACHINE",    u"HKEY_USERS",
    u"HKEY_CURRENT_CONFIG", u"HKEY_DYN_DATA", u"HKEY_PERFORMANCE_DATA",
};

// Keys a fresh store starts with: the hives under HKEY_LOCAL_MACHINE and HKEY_USERS, which
// cannot be created or deleted by callers, and the 32-bit view's software key.
struct SeedKey {
    Root root;
    const char16_t* path;
};
constexpr SeedKey kSeedKeys[] = {
    {Root::LocalMachine, u"SOFTWARE"}, {Root::LocalMachine, u"SOFTWARE\\WOW6432Node"},
    {Root::LocalMachine, u"SYSTEM"},   {Root::LocalMachine, u"HARDWARE"},
    {Root::Users, u".DEFAULT"},
};

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER,"
    " name BLOB NOT NULL, upname BLOB NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS keys_by_parent ON keys(parent, upname);"
    "CREATE TABLE IF NOT EXISTS vals(id INTEGER PRIMARY KEY AUTOINCREMENT, key INTEGER NOT NULL,"
    " name BLOB NOT NULL, upname BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS vals_by_key ON vals(key, upname);";

// Direct children of these roots are hives: callers can neither create nor delete them.
bool IsHiveHolder(std::int64_t id) { return id == RootId(Root::LocalMachine) || id == RootId(Root::Users); }

Status StatusOfErrno(int error) {
    return (error == EACCES || error == EPERM || error == EROFS) ? kErrorAccessDenied : kErrorIoFailed;
}

// Runs a statement that yields one integer; *value is left alone when there is no row.
Status QueryInteger(sqlite::Database& db, const char* sql, std::int64_t* value, bool* found = nullptr) {
    int result = SQLITE_OK;
    sqlite::Statement* statement = db.Prepare(sql, &result);
    if (statement == nullptr) {
        return sqlite::StatusOf(result);
    }
    sqlite::Use use(*statement);
    result = use.Step();
    if (result == SQLITE_ROW) {
        *value = use.Integer(0);
    } else if (result != SQLITE_DONE) {
        return sqlite::StatusOf(result);
    }
    if (found != nullptr) {
        *found = result == SQLITE_ROW;
    }
    return kSuccess;
}

// Prepares sql into *use; the macro keeps every caller's error path one line.
#define STORE_PREPARE(statementVar, sqlText)                                                                  \
    int statementVar##Result = SQLITE_OK;                                                                      \
    sqlite::Statement* statementVar##Prepared = db_.Prepare(sqlText, &statementVar##Result);                   \
    if (statementVar##Prepared == nullptr) {                                                                   \
        return sqlite::StatusOf(statementVar##Result);                                                         \
    }                                                                                                          \
    sqlite::Use statementVar(*statementVar##Prepared)

// Runs a statement whose one parameter is a key id and that yields no rows.
Status ExecuteForKey(sqlite::Database& db, const char* sql, std::int64_t id) {
    int result = SQLITE_OK;
    sqlite::Statement* statement = db.Prepare(sql, &result);
    if (statement == nullptr) {
        return sqlite::StatusOf(result);
    }
    sqlite::Use use(*statement);
    use.Bind(1, id);
    result = use.Step();
    return result == SQLITE_DONE ? kSuccess : sqlite::StatusOf(result);
}

// Runs a count(*) statement whose one parameter is a key id; a count always has a row.
Status CountForKey(sqlite::Database& db, const char* sql, std::int64_t id, std::int64_t* count) {
    int result = SQLITE_OK;
    sqlite::Statement* statement = db.Prepare(sql, &result);
    if (statement == nullptr) {
        return sqlite::StatusOf(result);
    }
    sqlite::Use use(*statement);
    use.Bind(1, id);
    result = use.Step();
    if (result != SQLITE_ROW) {
        return sqlite::StatusOf(result == SQLITE_DONE ? SQLITE_CORRUPT : result);
    }
    *count = use.Integer(0);
    return kSuccess;
}

Status CopyName(const std::u16string& text, char16_t* name, std::uint32_t* length) {
    if (name == nullptr || length == nullptr) {
        return kErrorInvalidParameter;
    }
    if (text.size() + 1 > *length) {
        return kErrorMoreData;
    }
    std::memcpy(name, text.data(), text.size() * sizeof(char16_t));
    name[text.size()] = u'\0';
    *length = static_cast<std::uint32_t>(text.size());
    return kSuccess;
}

} // namespace

std::shared_ptr<StoreCore> StoreCore::Open(const std::string& path, std::uint32_t busyTimeoutMs, Status* status) {
    // The file is created here, not by SQLite, so that it is the owner's only from the start;
    // SQLite gives its journal the same mode.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0) {
        ::close(fd);
    } else if (errno != EEXIST) {
        *status = StatusOfErrno(errno);
        return nullptr;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        *status = StatusOfErrno(errno);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        *status = kErrorBadDb;
        return nullptr;
    }
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0 && st.st_uid == ::geteuid()) {
        ::chmod(path.c_str(), st.st_mode & S_IRWXU); // nobody else may read the store
    }
    std::shared_ptr<StoreCore> core(new StoreCore());
    core->path_ = path;
    // A file without its owner's write bit is read-only for everyone, root included, so that
    // making the file read-only really protects the store.
    core->writable_ = (st.st_mode & S_IWUSR) != 0 && ::access(path.c_str(), W_OK) == 0;
    const int result = core->db_.Open(path, !core->writable_, busyTimeoutMs);
    if (result != SQLITE_OK) {
        *status = sqlite::StatusOf(result);
        return nullptr;
    }
    *status = core->Initialize();
    if (*status != kSuccess) {
        return nullptr;
    }
    if (core->writable_) {
        // Write-ahead logging: readers never wait for a writer, a commit needs no flush of the
        // whole file, and after a crash (of the process or the machine) the store is whole,
        // at most without its last commits. The mode is kept in the file, so one process that
        // sets it sets it for all; should the switch not get its lock now, the store still works
        // with a rollback journal and a later open switches it.
        core->db_.Execute("PRAGMA journal_mode = WAL");
    }
    core->db_.Execute("PRAGMA synchronous = NORMAL");
    return core;
}

Status StoreCore::Initialize() {
    std::int64_t application = 0;
    std::int64_t version = 0;
    std::int64_t objects = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        Status status = kSuccess;
        {
            // The three facts are read in one snapshot: read one by one, another process's
            // first initialization could commit between them, and a store half seen before and
            // half after it would look like a foreign database.
            sqlite::Transaction snapshot(db_, false);
            status = sqlite::StatusOf(snapshot.BeginResult());
            if (status == kSuccess) {
                status = QueryInteger(db_, "PRAGMA application_id", &application);
            }
            if (status == kSuccess) {
                status = QueryInteger(db_, "PRAGMA user_version", &version);
            }
            if (status == kSuccess) {
                status = QueryInteger(db_, "SELECT count(*) FROM sqlite_master", &objects);
            }
        }
        if (status != kSuccess) {
            return status;
        }
        if (application == kApplicationId) {
            return version == kLayoutVersion ? kSuccess : kErrorBadDb;
        }
        if (application != 0 || objects != 0) {
            return kErrorBadDb; // some other database: leave it untouched
        }
        if (!writable_) {
            return kErrorBadDb; // an empty store that may not be filled
        }
        if (attempt == 1) {
            break;
        }
        // Another process may be initializing the same file: decide under the write lock.
        sqlite::Transaction transaction(db_, true);
        if (transaction.BeginResult() != SQLITE_OK) {
            return sqlite::StatusOf(transaction.BeginResult());
        }
        status = QueryInteger(db_, "PRAGMA application_id", &application);
        if (status != kSuccess) {
            return status;
        }
        if (application == 0) {
            int result = db_.Execute(kSchema);
            for (int root = 0; root < kRootCount && result == SQLITE_OK; ++root) {
                STORE_PREPARE(insert, "INSERT INTO keys(id, parent, name, upname) VALUES(?, NULL, ?, ?)");
                insert.Bind(1, root + 1);
                insert.BindBlob(2, ToStoredName(kRootNames[root]));
                insert.BindBlob(3, ComparedName(kRootNames[root]));
                result = insert.Step() == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db_.Handle());
            }
            if (result != SQLITE_OK) {
                return sqlite::StatusOf(result);
            }
            for (const SeedKey& seed : kSeedKeys) {
                std::int64_t id = 0;
                bool created = false;
                status = Walk(RootId(seed.root), seed.path, 0, true, false, &id, nullptr, &created);
                if (status != kSuccess) {
                    return status;
                }
            }
            result = db_.Execute("PRAGMA application_id = 1296847431; PRAGMA user_version = 1");
            if (result == SQLITE_OK) {
                result = transaction.Commit();
            }
            if (result != SQLITE_OK) {
                return sqlite::StatusOf(result);
            }
        }
    }
    return application == kApplicationId && version == kLayoutVersion ? kSuccess : kErrorBadDb;
}

Status StoreCore::KeyExists(std::int64_t id) {
    STORE_PREPARE(lookup, "SELECT 1 FROM keys WHERE id = ?");
    lookup.Bind(1, id);
    const int result = lookup.Step();
    if (result == SQLITE_ROW) {
        return kSuccess;
    }
    return result == SQLITE_DONE ? kErrorKeyDeleted : sqlite::StatusOf(result);
}

Status StoreCore::BeginOnKey(const sqlite::Transaction& transaction, std::int64_t id) {
    if (transaction.BeginResult() != SQLITE_OK) {
        return sqlite::StatusOf(transaction.BeginResult());
    }
    return KeyExists(id);
}

Status StoreCore::FindChild(std::int64_t parent, const std::u16string& name, std::int64_t* child) {
    STORE_PREPARE(lookup, "SELECT id FROM keys WHERE parent = ? AND upname = ?");
    lookup.Bind(1, parent);
    lookup.BindBlob(2, ComparedName(name));
    const int result = lookup.Step();
    *child = 0;
    if (result == SQLITE_ROW) {
        *child = lookup.Integer(0);
        return kSuccess;
    }
    return result == SQLITE_DONE ? kSuccess : sqlite::StatusOf(result);
}

Status StoreCore::Walk(std::int64_t start, const char16_t* path, AccessMask viewFlags, bool create, bool guardHives,
                       std::int64_t* id, std::int64_t* parent, bool* created) {
    std::vector<std::u16string> names;
    Status status = SplitKeyPath(path, &names);
    if (status != kSuccess) {
        return status;
    }
    if ((viewFlags & kKeyWow64_32Key) != 0 && (viewFlags & kKeyWow64_64Key) != 0) {
        return kErrorInvalidParameter;
    }
    // The 32-bit view sees HKEY_LOCAL_MACHINE\Software\WOW6432Node as its Software key.
    if ((viewFlags & kKeyWow64_32Key) != 0 && start == RootId(Root::LocalMachine) && !names.empty() &&
        UpcaseUtf16(names[0]) == u"SOFTWARE" && (names.size() < 2 || UpcaseUtf16(names[1]) != u"WOW6432NODE")) {
        names.insert(names.begin() + 1, u"WOW6432Node");
    }
    std::int64_t current = start;
    std::int64_t above = 0;
    for (const std::u16string& name : names) {
        std::int64_t child = 0;
        status = FindChild(current, name, &child);
        if (status != kSuccess) {
            return status;
        }
        if (child == 0) {
            if (!create) {
                return kErrorFileNotFound;
            }
            if (guardHives && IsHiveHolder(current)) {
                return kErrorAccessDenied;
            }
            STORE_PREPARE(insert, "INSERT INTO keys(parent, name, upname) VALUES(?, ?, ?)");
            insert.Bind(1, current);
            insert.BindBlob(2, ToStoredName(name));
            insert.BindBlob(3, ComparedName(name));
            const int result = insert.Step();
            if (result != SQLITE_DONE) {
                return sqlite::StatusOf(result);
            }
            child = sqlite3_last_insert_rowid(db_.Handle());
            if (created != nullptr) {
                *created = true;
            }
        }
        above = current;
        current = child;
    }
    *id = current;
    if (parent != nullptr) {
        *parent = above;
    }
    return kSuccess;
}

Status StoreCore::OpenKey(Root root, const char16_t* path, AccessMask access, KeyPtr& key) {
    const int rootNumber = static_cast<int>(root);
    if (rootNumber < 0 || rootNumber >= kRootCount) {
        return kErrorInvalidHandle;
    }
    if ((access & kModifyingRights) != 0 && !writable_) {
        return kErrorAccessDenied;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite::Transaction transaction(db_, false);
    if (transaction.BeginResult() != SQLITE_OK) {
        return sqlite::StatusOf(transaction.BeginResult());
    }
    std::int64_t id = 0;
    const Status status = Walk(RootId(root), path, access, false, true, &id, nullptr, nullptr);
    if (status != kSuccess) {
        return status;
    }
    key = std::make_unique<StoreKey>(shared_from_this(), id, access);
    return kSuccess;
}

Status StoreCore::Create(const StoreKey& parent, const char16_t* subKey, AccessMask access, KeyPtr& key,
                         bool* created) {
    if (subKey == nullptr) {
        return kErrorInvalidParameter;
    }
    if ((parent.access & kKeyCreateSubKey) == 0 || !writable_) {
        return kErrorAccessDenied;
    }
    // The view of the call decides; without one the parent's view holds.
    AccessMask view = access & (kKeyWow64_32Key | kKeyWow64_64Key);
    if (view == 0) {
        view = parent.access & (kKeyWow64_32Key | kKeyWow64_64Key);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite::Transaction transaction(db_, true);
    Status status = BeginOnKey(transaction, parent.id);
    if (status != kSuccess) {
        return status;
    }
    std::int64_t id = 0;
    bool made = false;
    status = Walk(parent.id, subKey, view, true, true, &id, nullptr, &made);
    if (status != kSuccess) {
        return status;
    }
    const int result = transaction.Commit();
    if (result != SQLITE_OK) {
        return sqlite::StatusOf(result);
    }
    if (created != nullptr) {
        *created = made;
    }
    key = std::make_unique<StoreKey>(shared_from_this(), id, access | view);
    return kSuccess;
}

Status StoreCore::Delete(const StoreKey& parent, const char16_t* subKey, AccessMask viewFlag) {
    if (subKey == nullptr || *subKey == u'\0') {
        return kErrorInvalidParameter;
    }
    if (!writable_) {
        return kErrorAccessDenied;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite::Transaction transaction(db_, true);
    Status status = BeginOnKey(transaction, parent.id);
    if (status != kSuccess) {
        return status;
    }
    std::int64_t id = 0;
    std::int64_t above = 0;
    status = Walk(parent.id, subKey, viewFlag, false, true, &id, &above, nullptr);
    if (status != kSuccess) {
        return status;
    }
    if (id == parent.id || IsHiveHolder(above)) {
        return kErrorAccessDenied;
    }
    {
        STORE_PREPARE(children, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
        children.Bind(1, id);
        const int result = children.Step();
        if (result == SQLITE_ROW) {
            return kErrorAccessDenied; // a key with subkeys cannot be deleted
        }
        if (result != SQLITE_DONE) {
            return sqlite::StatusOf(result);
        }
    }
    status = ExecuteForKey(db_, "DELETE FROM vals WHERE key = ?", id);
    if (status == kSuccess) {
        status = ExecuteForKey(db_, "DELETE FROM keys WHERE id = ?", id);
    }
    if (status != kSuccess) {
        return status;
    }
    return sqlite::StatusOf(transaction.Commit());
}

Status StoreCore::QueryInfo(const StoreKey& key, std::uint32_t* subKeys, std::uint32_t* values) {
    if ((key.access & kKeyQueryValue) == 0) {
        return kErrorAccessDenied;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite::Transaction transaction(db_, false);
    Status status = BeginOnKey(transaction, key.id);
    if (status != kSuccess) {
        return status;
    }
    std::int64_t keyCount = 0;
    std::int64_t valueCount = 0;
    status = CountForKey(db_, "SELECT count(*) FROM keys WHERE parent = ?", key.id, &keyCount);
    if (status == kSuccess) {
        status = CountForKey(db_, "SELECT count(*) FROM vals WHERE key = ?", key.id, &valueCount);
    }
    if (status != kSuccess) {
        return status;
    }
    if (subKeys != nullptr) {
        *subKeys = static_cast<std::uint32_t>(keyCount);
    }
    if (values != nullptr) {
        *values = static_cast<std::uint32_t>(valueCount);
    }
    return kSuccess;
}

Status StoreCore::EnumName(const char* sql, const StoreKey& key, std::uint32_t index, char16_t* name,
                           std::uint32_t* length) {
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite::Transaction transaction(db_, false);
    const Status status = BeginOnKey(transaction, key.id);
    if (status != kSuccess) {
        return status;
    }
    STORE_PREPARE(entry, sql);
    entry.Bind(1, key.id);
    entry.Bind(2, index);
    const int result = entry.Step();
    if (result == SQLITE_DONE) {
        return kErrorNoMoreItems;
    }
    if (result != SQLITE_ROW) {
        return sqlite::StatusOf(result);
    }
    return CopyName(FromStoredName(entry.Blob(0)), name, length);
}

Status StoreCore::EnumKey(const StoreKey& key, std::uint32_t index, char16_t* name, std::uint32_t* length) {
    if ((key.access & kKeyEnumerateSubKeys) == 0) {
        return kErrorAccessDenied;
    }
    return EnumName("SELECT name FROM keys WHERE parent = ? ORDER BY upname LIMIT 1 OFFSET ?", key, index, name,
                    length);
}

Status StoreCore::EnumValue(const StoreKey& key, std::uint32_t index, char16_t* name, std::uint32_t* length) {
    if ((key.access & kKeyQueryValue) == 0) {
        return kErrorAccessDenied;
    }
    return EnumName("SELECT name FROM vals WHERE key = ? ORDER BY id LIMIT 1 OFFSET ?", key, index, name, length);
}

Status StoreCore::QueryValue(const StoreKey& key, const char16_t* name, ValueType* type, std::uint8_t* data,
                             std::uint32_t* size) {
    if ((key.access & kKeyQueryValue) == 0) {
        return kErrorAccessDenied;
    }
    const std::u16string valueName = TextOf(name);
    if (valueName.size() > kMaxValueNameLength || (data != nullptr && size == nullptr)) {
        return kErrorInvalidParameter;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite::Transaction transaction(db_, false);
    const Status status = BeginOnKey(transaction, key.id);
    if (status != kSuccess) {
        return status;
    }
    // Without a buffer only the size is read, so a large value is not loaded for nothing.
    STORE_PREPARE(lookup, data == nullptr ? "SELECT type, length(data) FROM vals WHERE key = ? AND upname = ?"
                                          : "SELECT type, data FROM vals WHERE key = ? AND upname = ?");
    lookup.Bind(1, key.id);
    lookup.BindBlob(2, ComparedName(valueName));
    const int result = lookup.Step();
    if (result == SQLITE_DONE) {
        return kErrorFileNotFound;
    }
    if (result != SQLITE_ROW) {
        return sqlite::StatusOf(result);
    }
    if (type != nullptr) {
        *type = static_cast<ValueType>(lookup.Integer(0));
    }
    if (data == nullptr) {
        if (size != nullptr) {
            *size = static_cast<std::uint32_t>(lookup.Integer(1));
        }
        return kSuccess;
    }
    const std::size_t stored = lookup.BlobSize(1);
    if (stored > *size) {
        *size = static_cast<std::uint32_t>(stored);
        return kErrorMoreData;
    }
    if (stored > 0) {
        std::memcpy(data, lookup.BlobData(1), stored);
    }
    *size = static_cast<std::uint32_t>(stored);
    return kSuccess;
}

Status StoreCore::SetValue(const StoreKey& key, const char16_t* name, ValueType type, const std::uint8_t* data,
                           std::uint32_t size) {
    if ((key.access & kKeySetValue) == 0 || !writable_) {
        return kErrorAccessDenied;
    }
    const std::u16string valueName = TextOf(name);
    if (valueName.size() > kMaxValueNameLength || size > kMaxValueSize || (data == nullptr && size > 0)) {
        return kErrorInvalidParameter;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite::Transaction transaction(db_, true);
    const Status status = BeginOnKey(transaction, key.id);
    if (status != kSuccess) {
        return status;
    }
    {
        // A value written again keeps its place in the enumeration order and its spelling.
        STORE_PREPARE(upsert, "INSERT INTO vals(key, name, upname, type, data) VALUES(?, ?, ?, ?, ?)"
                              " ON CONFLICT(key, upname) DO UPDATE SET type = excluded.type, data = excluded.data");
        upsert.Bind(1, key.id);
        upsert.BindBlob(2, ToStoredName(valueName));
        upsert.BindBlob(3, ComparedName(valueName));
        upsert.Bind(4, type);
        upsert.BindBlob(5, data, size);
        const int result = upsert.Step();
        if (result != SQLITE_DONE) {
            return sqlite::StatusOf(result);
        }
    }
    return sqlite::StatusOf(transaction.Commit());
}

Status StoreCore::DeleteValue(const StoreKey& key, const char16_t* name) {
    if ((key.access & kKeySetValue) == 0 || !writable_) {
        return kErrorAccessDenied;
    }
    const std::u16string valueName = TextOf(name);
    if (valueName.size() > kMaxValueNameLength) {
        return kErrorInvalidParameter;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite::Transaction transaction(db_, true);
    const Status status = BeginOnKey(transaction, key.id);
    if (status != kSuccess) {
        return status;
    }
    {
        STORE_PREPARE(remove, "DELETE FROM vals WHERE key = ? AND upname = ?");
        remove.Bind(1, key.id);
        remove.BindBlob(2, ComparedName(valueName));
        const int result = remove.Step();
        if (result != SQLITE_DONE) {
            return sqlite::StatusOf(result);
        }
    }
    if (sqlite3_changes(db_.Handle()) == 0) {
        return kErrorFileNotFound;
    }
    return sqlite::StatusOf(transaction.Commit());
}

} // namespace platform::registry
