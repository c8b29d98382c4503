#pragma once
// The SQLite registry store's internals, shared by the store and the system registry that
// picks the store file. Internal to the POSIX platform layer.
//
// Layout: table keys (id, parent, name, upname) holds every key, the seven roots with fixed ids
// 1..7; table vals (id, key, name, upname, type, data) holds the values. Names are stored as
// UTF-16 big-endian bytes so that the byte order of upname (the upper-case form compared on
// lookup) is the registry's name order. Key ids are never reused, so a key opened before its
// deletion can never reach a key created later.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/registry.h"
#include "sqlite_database.h"

namespace platform::registry {

class StoreCore;

// An open key of the store.
class StoreKey : public OpenKey {
public:
    StoreKey(std::shared_ptr<StoreCore> core, std::int64_t id, AccessMask access)
        : core(std::move(core)), id(id), access(access) {}
    std::shared_ptr<StoreCore> core;
    std::int64_t id;
    AccessMask access;
};

class StoreCore : public std::enable_shared_from_this<StoreCore> {
public:
    // Opens or creates the store file at path.
    static std::shared_ptr<StoreCore> Open(const std::string& path, std::uint32_t busyTimeoutMs, Status* status);

    const std::string& Path() const { return path_; }
    bool Writable() const { return writable_; }

    Status OpenKey(Root root, const char16_t* path, AccessMask access, KeyPtr& key);
    Status Create(const StoreKey& parent, const char16_t* subKey, AccessMask access, KeyPtr& key, bool* created);
    Status Delete(const StoreKey& parent, const char16_t* subKey, AccessMask viewFlag);
    Status QueryInfo(const StoreKey& key, std::uint32_t* subKeys, std::uint32_t* values);
    Status EnumKey(const StoreKey& key, std::uint32_t index, char16_t* name, std::uint32_t* length);
    Status EnumValue(const StoreKey& key, std::uint32_t index, char16_t* name, std::uint32_t* length);
    Status QueryValue(const StoreKey& key, const char16_t* name, ValueType* type, std::uint8_t* data,
                      std::uint32_t* size);
    Status SetValue(const StoreKey& key, const char16_t* name, ValueType type, const std::uint8_t* data,
                    std::uint32_t size);
    Status DeleteValue(const StoreKey& key, const char16_t* name);

private:
    StoreCore() = default;
    Status Initialize();
    // kSuccess when the key is still there, kErrorKeyDeleted when it was deleted.
    Status KeyExists(std::int64_t id);
    // Checks that the transaction began and that the key is still there.
    Status BeginOnKey(const sqlite::Transaction& transaction, std::int64_t id);
    // Looks a child up by name; *child is 0 when there is none.
    Status FindChild(std::int64_t parent, const std::u16string& name, std::int64_t* child);
    // Follows path from the key start, in the view of viewFlags, creating missing keys when
    // create is set (direct children of the hive holders only when guardHives is clear).
    // *parent (optional) receives the parent of the key reached.
    Status Walk(std::int64_t start, const char16_t* path, AccessMask viewFlags, bool create, bool guardHives,
                std::int64_t* id, std::int64_t* parent, bool* created);
    Status EnumName(const char* sql, const StoreKey& key, std::uint32_t index, char16_t* name,
                    std::uint32_t* length);

    std::mutex mutex_; // one call at a time on the connection
    sqlite::Database db_;
    std::string path_;
    bool writable_ = false;
};

// Key ids of the roots.
inline constexpr std::int64_t RootId(Root root) { return static_cast<std::int64_t>(root) + 1; }

} // namespace platform::registry
