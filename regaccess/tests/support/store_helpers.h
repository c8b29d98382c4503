#pragma once
// Short forms of the registry calls for the store's tests.
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_store.h"

namespace regaccess::testing {

namespace reg = platform::registry;

class StoreClient {
public:
    explicit StoreClient(std::shared_ptr<reg::Registry> registry) : registry_(std::move(registry)) {}
    reg::Registry& Registry() { return *registry_; }

    reg::Status Open(reg::Root root, const char16_t* path, reg::AccessMask access, reg::KeyPtr* key = nullptr);
    // Opens root\path with every right, failing the test when it cannot.
    reg::KeyPtr MustOpen(reg::Root root, const char16_t* path, reg::AccessMask access = reg::kKeyAllAccess);
    // Creates path below the root (with the view flags in access).
    reg::Status Create(reg::Root root, const char16_t* path, reg::AccessMask access = 0, bool* created = nullptr);

    reg::Status SetBytes(const reg::OpenKey& key, const char16_t* name, reg::ValueType type, const std::string& bytes);
    reg::Status SetText(const reg::OpenKey& key, const char16_t* name, const std::u16string& text);
    // The value's type and bytes; status in *status (kSuccess when it was read).
    std::string Bytes(const reg::OpenKey& key, const char16_t* name, reg::ValueType* type = nullptr,
                      reg::Status* status = nullptr);
    std::u16string Text(const reg::OpenKey& key, const char16_t* name);

    std::vector<std::u16string> SubKeys(const reg::OpenKey& key);
    std::vector<std::u16string> Values(const reg::OpenKey& key);

private:
    std::shared_ptr<reg::Registry> registry_;
};

// Opens the store in folder (test failure when it cannot be opened).
std::shared_ptr<reg::Registry> MustOpenStore(const std::string& folder, std::uint32_t busyTimeoutMs = 10000);

} // namespace regaccess::testing
