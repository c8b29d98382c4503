#include "support/store_helpers.h"

#include <gtest/gtest.h>

namespace regaccess::testing {

reg::Status StoreClient::Open(reg::Root root, const char16_t* path, reg::AccessMask access, reg::KeyPtr* key) {
    reg::KeyPtr opened;
    const reg::Status status = registry_->Open(root, path, access, opened);
    if (key != nullptr) {
        *key = std::move(opened);
    }
    return status;
}

reg::KeyPtr StoreClient::MustOpen(reg::Root root, const char16_t* path, reg::AccessMask access) {
    reg::KeyPtr key;
    const reg::Status status = registry_->Open(root, path, access, key);
    EXPECT_EQ(status, reg::kSuccess) << "opening a key";
    return key;
}

reg::Status StoreClient::Create(reg::Root root, const char16_t* path, reg::AccessMask access, bool* created) {
    reg::KeyPtr parent;
    reg::Status status = registry_->Open(root, nullptr, reg::kKeyCreateSubKey | access, parent);
    if (status != reg::kSuccess) {
        return status;
    }
    reg::KeyPtr key;
    return registry_->Create(*parent, path, reg::kKeyRead | reg::kKeyWrite | access, key, created);
}

reg::Status StoreClient::SetBytes(const reg::OpenKey& key, const char16_t* name, reg::ValueType type,
                                  const std::string& bytes) {
    return registry_->SetValue(key, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                               static_cast<std::uint32_t>(bytes.size()));
}

reg::Status StoreClient::SetText(const reg::OpenKey& key, const char16_t* name, const std::u16string& text) {
    return SetBytes(key, name, reg::kRegSz,
                    std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)));
}

std::string StoreClient::Bytes(const reg::OpenKey& key, const char16_t* name, reg::ValueType* type,
                               reg::Status* status) {
    // Another connection may change the value's size between the two reads: then ask again.
    std::string bytes;
    reg::Status result = reg::kErrorMoreData;
    while (result == reg::kErrorMoreData) {
        std::uint32_t size = 0;
        result = registry_->QueryValue(key, name, type, nullptr, &size);
        if (result != reg::kSuccess) {
            break;
        }
        bytes.assign(size, '\0');
        result = registry_->QueryValue(key, name, type, reinterpret_cast<std::uint8_t*>(bytes.data()), &size);
        bytes.resize(size);
    }
    if (status != nullptr) {
        *status = result;
    }
    return result == reg::kSuccess ? bytes : std::string();
}

std::u16string StoreClient::Text(const reg::OpenKey& key, const char16_t* name) {
    const std::string bytes = Bytes(key, name);
    return std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
}

std::vector<std::u16string> StoreClient::SubKeys(const reg::OpenKey& key) {
    std::vector<std::u16string> names;
    char16_t buffer[reg::kMaxValueNameLength + 1];
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t length = reg::kMaxValueNameLength + 1;
        const reg::Status status = registry_->EnumKey(key, index, buffer, &length);
        if (status != reg::kSuccess) {
            EXPECT_EQ(status, reg::kErrorNoMoreItems);
            return names;
        }
        names.emplace_back(buffer, length);
    }
}

std::vector<std::u16string> StoreClient::Values(const reg::OpenKey& key) {
    std::vector<std::u16string> names;
    std::u16string buffer(reg::kMaxValueNameLength + 1, u'\0');
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t length = reg::kMaxValueNameLength + 1;
        const reg::Status status = registry_->EnumValue(key, index, buffer.data(), &length);
        if (status != reg::kSuccess) {
            EXPECT_EQ(status, reg::kErrorNoMoreItems);
            return names;
        }
        names.emplace_back(buffer.data(), length);
    }
}

std::shared_ptr<reg::Registry> MustOpenStore(const std::string& folder, std::uint32_t busyTimeoutMs) {
    reg::Status status = reg::kSuccess;
    reg::StoreOptions options;
    options.folder = folder;
    options.busyTimeoutMs = busyTimeoutMs;
    auto store = reg::OpenRegistryStore(options, &status);
    EXPECT_EQ(status, reg::kSuccess) << "opening the store in " << folder;
    return store;
}

} // namespace regaccess::testing
