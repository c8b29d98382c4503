// The registry on Windows: the calls of registry.h passed straight to advapi32, so results and
// error numbers are the system's own.
#include <windows.h>

#include "platform/registry.h"

namespace platform::registry {
namespace {

class Win32Key : public OpenKey {
public:
    explicit Win32Key(HKEY key) : key_(key) {}
    ~Win32Key() override { RegCloseKey(key_); }
    Win32Key(const Win32Key&) = delete;
    Win32Key& operator=(const Win32Key&) = delete;
    HKEY Handle() const { return key_; }

private:
    HKEY key_;
};

HKEY HandleOf(const OpenKey& key) {
    const auto* win32 = dynamic_cast<const Win32Key*>(&key);
    return win32 == nullptr ? nullptr : win32->Handle();
}

HKEY RootKey(Root root) {
    switch (root) {
    case Root::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case Root::CurrentUser:
        return HKEY_CURRENT_USER;
    case Root::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case Root::Users:
        return HKEY_USERS;
    case Root::CurrentConfig:
        return HKEY_CURRENT_CONFIG;
    case Root::DynData:
        return HKEY_DYN_DATA;
    case Root::PerformanceData:
        return HKEY_PERFORMANCE_DATA;
    }
    return nullptr;
}

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

using DeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// RegDeleteKeyExW exists from Windows XP x64 on; it is looked up by name so that the library
// still loads where it is missing.
DeleteKeyExFunction FindDeleteKeyEx() {
    HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
    if (advapi == nullptr) {
        advapi = LoadLibraryW(L"advapi32.dll");
    }
    if (advapi == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<DeleteKeyExFunction>(reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExW")));
}

class Win32Registry : public Registry {
public:
    Status Open(Root root, const char16_t* path, AccessMask access, KeyPtr& key) override {
        HKEY rootKey = RootKey(root);
        if (rootKey == nullptr) {
            return kErrorInvalidHandle;
        }
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyExW(rootKey, Wide(path), 0, access, &opened);
        if (status == ERROR_SUCCESS) {
            key = std::make_unique<Win32Key>(opened);
        }
        return static_cast<Status>(status);
    }

    Status Create(const OpenKey& parent, const char16_t* subKey, AccessMask access, KeyPtr& key,
                  bool* created) override {
        HKEY opened = nullptr;
        DWORD disposition = 0;
        const LONG status = RegCreateKeyExW(HandleOf(parent), Wide(subKey), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            access, nullptr, &opened, &disposition);
        if (status == ERROR_SUCCESS) {
            key = std::make_unique<Win32Key>(opened);
            if (created != nullptr) {
                *created = disposition == REG_CREATED_NEW_KEY;
            }
        }
        return static_cast<Status>(status);
    }

    Status Delete(const OpenKey& parent, const char16_t* subKey) override {
        return static_cast<Status>(RegDeleteKeyW(HandleOf(parent), Wide(subKey)));
    }

    bool HasDeleteInView() override { return FindDeleteKeyEx() != nullptr; }

    Status DeleteInView(const OpenKey& parent, const char16_t* subKey, AccessMask viewFlag) override {
        DeleteKeyExFunction deleteKeyEx = FindDeleteKeyEx();
        if (deleteKeyEx == nullptr) {
            return ERROR_PROC_NOT_FOUND;
        }
        return static_cast<Status>(deleteKeyEx(HandleOf(parent), Wide(subKey), viewFlag, 0));
    }

    Status QueryInfo(const OpenKey& key, std::uint32_t* subKeys, std::uint32_t* values) override {
        DWORD keyCount = 0;
        DWORD valueCount = 0;
        const LONG status = RegQueryInfoKeyW(HandleOf(key), nullptr, nullptr, nullptr, &keyCount, nullptr, nullptr,
                                             &valueCount, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            if (subKeys != nullptr) {
                *subKeys = keyCount;
            }
            if (values != nullptr) {
                *values = valueCount;
            }
        }
        return static_cast<Status>(status);
    }

    Status EnumKey(const OpenKey& key, std::uint32_t index, char16_t* name, std::uint32_t* length) override {
        DWORD size = *length;
        const LONG status = RegEnumKeyExW(HandleOf(key), index, reinterpret_cast<wchar_t*>(name), &size, nullptr,
                                          nullptr, nullptr, nullptr);
        *length = size;
        return static_cast<Status>(status);
    }

    Status EnumValue(const OpenKey& key, std::uint32_t index, char16_t* name, std::uint32_t* length) override {
        DWORD size = *length;
        const LONG status = RegEnumValueW(HandleOf(key), index, reinterpret_cast<wchar_t*>(name), &size, nullptr,
                                          nullptr, nullptr, nullptr);
        *length = size;
        return static_cast<Status>(status);
    }

    Status QueryValue(const OpenKey& key, const char16_t* name, ValueType* type, std::uint8_t* data,
                      std::uint32_t* size) override {
        DWORD valueType = 0;
        DWORD valueSize = size != nullptr ? *size : 0;
        const LONG status = RegQueryValueExW(HandleOf(key), Wide(name), nullptr, &valueType, data,
                                             size != nullptr ? &valueSize : nullptr);
        if (type != nullptr) {
            *type = valueType;
        }
        if (size != nullptr) {
            *size = valueSize;
        }
        return static_cast<Status>(status);
    }

    Status SetValue(const OpenKey& key, const char16_t* name, ValueType type, const std::uint8_t* data,
                    std::uint32_t size) override {
        return static_cast<Status>(RegSetValueExW(HandleOf(key), Wide(name), 0, type, data, size));
    }

    Status DeleteValue(const OpenKey& key, const char16_t* name) override {
        return static_cast<Status>(RegDeleteValueW(HandleOf(key), Wide(name)));
    }
};

} // namespace

Registry& SystemRegistry() {
    static Win32Registry registry;
    return registry;
}

bool IsWow64Process() {
    using IsWow64Function = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    if (kernel == nullptr) {
        return false;
    }
    auto isWow64 =
        reinterpret_cast<IsWow64Function>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    BOOL result = FALSE;
    if (isWow64 == nullptr || !isWow64(GetCurrentProcess(), &result)) {
        return false;
    }
    return result != FALSE;
}

} // namespace platform::registry
