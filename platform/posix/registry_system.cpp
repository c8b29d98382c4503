// The registry as seen through the POSIX store: a fixed store for tests and tools, and the
// system registry, which follows the store folder the environment names.
#include <cerrno>
#include <filesystem>
#include <mutex>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/env.h"
#include "platform/registry_store.h"
#include "registry_store_core.h"

namespace platform::registry {
namespace {

const StoreKey* StoreKeyOf(const OpenKey& key) { return dynamic_cast<const StoreKey*>(&key); }

// Everything but Open goes to the store that opened the key.
class StoreRegistryBase : public Registry {
public:
    Status Create(const OpenKey& parent, const char16_t* subKey, AccessMask access, KeyPtr& key,
                  bool* created) override {
        const StoreKey* k = StoreKeyOf(parent);
        return k == nullptr ? kErrorInvalidHandle : k->core->Create(*k, subKey, access, key, created);
    }
    Status Delete(const OpenKey& parent, const char16_t* subKey) override {
        const StoreKey* k = StoreKeyOf(parent);
        return k == nullptr ? kErrorInvalidHandle : k->core->Delete(*k, subKey, 0);
    }
    bool HasDeleteInView() override { return true; }
    Status DeleteInView(const OpenKey& parent, const char16_t* subKey, AccessMask viewFlag) override {
        const StoreKey* k = StoreKeyOf(parent);
        return k == nullptr ? kErrorInvalidHandle : k->core->Delete(*k, subKey, viewFlag);
    }
    Status QueryInfo(const OpenKey& key, std::uint32_t* subKeys, std::uint32_t* values) override {
        const StoreKey* k = StoreKeyOf(key);
        return k == nullptr ? kErrorInvalidHandle : k->core->QueryInfo(*k, subKeys, values);
    }
    Status EnumKey(const OpenKey& key, std::uint32_t index, char16_t* name, std::uint32_t* length) override {
        const StoreKey* k = StoreKeyOf(key);
        return k == nullptr ? kErrorInvalidHandle : k->core->EnumKey(*k, index, name, length);
    }
    Status EnumValue(const OpenKey& key, std::uint32_t index, char16_t* name, std::uint32_t* length) override {
        const StoreKey* k = StoreKeyOf(key);
        return k == nullptr ? kErrorInvalidHandle : k->core->EnumValue(*k, index, name, length);
    }
    Status QueryValue(const OpenKey& key, const char16_t* name, ValueType* type, std::uint8_t* data,
                      std::uint32_t* size) override {
        const StoreKey* k = StoreKeyOf(key);
        return k == nullptr ? kErrorInvalidHandle : k->core->QueryValue(*k, name, type, data, size);
    }
    Status SetValue(const OpenKey& key, const char16_t* name, ValueType type, const std::uint8_t* data,
                    std::uint32_t size) override {
        const StoreKey* k = StoreKeyOf(key);
        return k == nullptr ? kErrorInvalidHandle : k->core->SetValue(*k, name, type, data, size);
    }
    Status DeleteValue(const OpenKey& key, const char16_t* name) override {
        const StoreKey* k = StoreKeyOf(key);
        return k == nullptr ? kErrorInvalidHandle : k->core->DeleteValue(*k, name);
    }
};

class FixedStoreRegistry : public StoreRegistryBase {
public:
    explicit FixedStoreRegistry(std::shared_ptr<StoreCore> core) : core_(std::move(core)) {}
    Status Open(Root root, const char16_t* path, AccessMask access, KeyPtr& key) override {
        return core_->OpenKey(root, path, access, key);
    }

private:
    std::shared_ptr<StoreCore> core_;
};

// Makes folder and its missing parents; the folders made here are the owner's only.
Status MakeStoreFolder(const std::filesystem::path& folder) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) {
        return kSuccess;
    }
    if (folder.has_parent_path() && folder.parent_path() != folder) {
        const Status status = MakeStoreFolder(folder.parent_path());
        if (status != kSuccess) {
            return status;
        }
    }
    if (::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
        return (errno == EACCES || errno == EPERM || errno == EROFS) ? kErrorAccessDenied : kErrorIoFailed;
    }
    return kSuccess;
}

std::shared_ptr<StoreCore> OpenCore(const std::string& folder, std::uint32_t busyTimeoutMs, Status* status) {
    if (folder.empty()) {
        *status = kErrorFileNotFound;
        return nullptr;
    }
    *status = MakeStoreFolder(folder);
    if (*status != kSuccess) {
        return nullptr;
    }
    return StoreCore::Open((std::filesystem::path(folder) / kRegistryFileName).string(), busyTimeoutMs, status);
}

// The system registry re-reads the folder on every open, and opens the file again when it was
// replaced or removed, so that a write never goes to a file nobody will read again.
class SystemStoreRegistry : public StoreRegistryBase {
public:
    Status Open(Root root, const char16_t* path, AccessMask access, KeyPtr& key) override {
        std::shared_ptr<StoreCore> core;
        const Status status = Current(&core);
        return status != kSuccess ? status : core->OpenKey(root, path, access, key);
    }

private:
    Status Current(std::shared_ptr<StoreCore>* core) {
        const std::string folder = DefaultRegistryFolder();
        const std::string path = (std::filesystem::path(folder) / kRegistryFileName).string();
        std::lock_guard<std::mutex> lock(mutex_);
        struct stat st {};
        const bool exists = ::stat(path.c_str(), &st) == 0;
        if (core_ != nullptr && exists && core_->Path() == path && st.st_dev == device_ && st.st_ino == inode_) {
            *core = core_;
            return kSuccess;
        }
        Status status = kSuccess;
        core_ = OpenCore(folder, StoreOptions().busyTimeoutMs, &status);
        if (core_ == nullptr) {
            return status;
        }
        if (::stat(path.c_str(), &st) == 0) {
            device_ = st.st_dev;
            inode_ = st.st_ino;
        }
        *core = core_;
        return kSuccess;
    }

    std::mutex mutex_;
    std::shared_ptr<StoreCore> core_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

std::string HomeFolder() {
    if (auto home = GetEnv("HOME"); home && !home->empty()) {
        return *home;
    }
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return std::string();
}

} // namespace

std::string DefaultRegistryFolder() {
    if (auto folder = GetEnv(kRegistryFolderVariable); folder && !folder->empty()) {
        return *folder;
    }
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    if (auto data = GetEnv("XDG_DATA_HOME"); data && !data->empty() && (*data)[0] == '/') {
        return *data + "/modlink";
    }
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.local/share/modlink";
}

std::shared_ptr<Registry> OpenRegistryStore(const StoreOptions& options, Status* status) {
    std::shared_ptr<StoreCore> core = OpenCore(options.folder, options.busyTimeoutMs, status);
    if (core == nullptr) {
        return nullptr;
    }
    return std::make_shared<FixedStoreRegistry>(std::move(core));
}

bool CheckRegistryStore(const std::string& folder, std::string* report) {
    sqlite::Database db;
    const std::string path = (std::filesystem::path(folder) / kRegistryFileName).string();
    int result = db.Open(path, true, StoreOptions().busyTimeoutMs);
    std::string text;
    if (result == SQLITE_OK) {
        int prepared = SQLITE_OK;
        sqlite::Statement* check = db.Prepare("PRAGMA integrity_check", &prepared);
        if (check == nullptr) {
            result = prepared;
        } else {
            sqlite::Use use(*check);
            while ((result = use.Step()) == SQLITE_ROW) {
                const unsigned char* line = sqlite3_column_text(check->Get(), 0);
                text += line != nullptr ? reinterpret_cast<const char*>(line) : "";
                text += '\n';
            }
            if (result == SQLITE_DONE) {
                result = SQLITE_OK;
            }
        }
    }
    if (result != SQLITE_OK) {
        text += db.LastError();
    }
    if (report != nullptr) {
        *report = text;
    }
    return result == SQLITE_OK && text == "ok\n";
}

Registry& SystemRegistry() {
    // Never destroyed: when a JVM exits, its other threads may still be inside a call while the
    // exit handlers run. The store file is whole at any moment, so leaving the connection open
    // costs nothing but the write-ahead log files beside it, which the next user takes over.
    static SystemStoreRegistry* registry = new SystemStoreRegistry();
    return *registry;
}

bool IsWow64Process() { return false; }

} // namespace platform::registry
