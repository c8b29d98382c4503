// Modem devices through the Setup API, loaded at run time, and the serial ports through the
// registry. The setup library is required whole: the toolkit's installer code shares it and needs
// every function listed below, so a library that lacks one counts as missing.
#include <windows.h>

#include <setupapi.h>

#include <mutex>

#include "platform/modem_devices.h"

namespace platform {

namespace {

// Every function the toolkit requires of setupapi.dll; only the six in SetupFunctions are called.
constexpr const char* kRequiredSetupFunctions[] = {
    "SetupDiEnumDeviceInfo",
    "SetupOpenMasterInf",
    "SetupPromptForDiskA",
    "SetupDiSetDeviceRegistryPropertyA",
    "SetupDiGetDeviceInstanceIdA",
    "SetupDiInstallClassA",
    "SetupDiGetINFClassA",
    "SetupDiGetClassDevsA",
    "SetupDiGetSelectedDriverA",
    "SetupDiCreateDeviceInfoA",
    "SetupDiRegisterDeviceInfo",
    "SetupDiOpenDeviceInfoA",
    "SetupDiCallClassInstaller",
    "SetupDiGetDeviceInstallParamsA",
    "SetupDiSetDeviceInstallParamsA",
    "SetupPromptReboot",
    "SetupDiDestroyDeviceInfoList",
    "SetupInstallFromInfSectionA",
    "SetupOpenInfFileA",
    "SetupFindFirstLineA",
    "SetupGetLineTextA",
    "SetupFindNextMatchLineA",
    "SetupCloseInfFile",
    "SetupDiGetDeviceRegistryPropertyA",
    "SetupGetLineCountA",
    "SetupGetLineByIndexA",
    "SetupGetStringFieldA",
    "SetupDiBuildDriverInfoList",
    "SetupDiEnumDriverInfoW",
    "SetupDiGetDriverInfoDetailW",
    "SetupDiSetSelectedDriverW",
    "SetupDiCreateDevRegKeyA",
    "SetupDiSetDeviceRegistryPropertyW",
    "SetupGetMultiSzFieldA",
    "SetupDefaultQueueCallbackA",
    "SetupInitDefaultQueueCallback",
    "SetupDiOpenDevRegKey",
    "SetupDiSetSelectedDriverA",
    "SetupSetDirectoryIdA",
    "SetupDiClassGuidsFromNameA",
    "SetupDiGetClassInstallParamsA",
    "SetupDiSetClassInstallParamsA",
    "SetupDiChangeState",
};

struct SetupFunctions {
    BOOL(WINAPI* classGuidsFromName)(PCSTR, LPGUID, DWORD, PDWORD) = nullptr;
    HDEVINFO(WINAPI* getClassDevs)(const GUID*, PCSTR, HWND, DWORD) = nullptr;
    BOOL(WINAPI* enumDeviceInfo)(HDEVINFO, DWORD, PSP_DEVINFO_DATA) = nullptr;
    BOOL(WINAPI* getDeviceRegistryProperty)
    (HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD, PDWORD) = nullptr;
    HKEY(WINAPI* openDevRegKey)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, DWORD, DWORD, REGSAM) = nullptr;
    BOOL(WINAPI* destroyDeviceInfoList)(HDEVINFO) = nullptr;
};

// A function pointer from GetProcAddress, converted through void* (the direct cast between
// function types is what -Wcast-function-type rejects).
template <typename Function> void Resolve(HMODULE library, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

class SetupLibrary {
public:
    // Loads the library with all required functions, once; later calls find it loaded.
    bool Load() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (library_ != nullptr) {
            return true;
        }
        HMODULE library = LoadLibraryW(L"setupapi.dll");
        if (library == nullptr) {
            return false;
        }
        for (const char* name : kRequiredSetupFunctions) {
            if (GetProcAddress(library, name) == nullptr) {
                FreeLibrary(library);
                return false;
            }
        }
        Resolve(library, "SetupDiClassGuidsFromNameA", &functions_.classGuidsFromName);
        Resolve(library, "SetupDiGetClassDevsA", &functions_.getClassDevs);
        Resolve(library, "SetupDiEnumDeviceInfo", &functions_.enumDeviceInfo);
        Resolve(library, "SetupDiGetDeviceRegistryPropertyA",
                &functions_.getDeviceRegistryProperty);
        Resolve(library, "SetupDiOpenDevRegKey", &functions_.openDevRegKey);
        Resolve(library, "SetupDiDestroyDeviceInfoList", &functions_.destroyDeviceInfoList);
        library_ = library;
        return true;
    }
    const SetupFunctions& Functions() const { return functions_; }

private:
    std::mutex mutex_;
    HMODULE library_ = nullptr; // kept for the life of the process once loaded
    SetupFunctions functions_;
};

SetupLibrary& Setup() {
    static SetupLibrary library;
    return library;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_EQUAL;
}

// A text value of at most 260 bytes; nullopt when it is missing or no text.
std::optional<std::string> ReadText(HKEY key, const char* name) {
    char buffer[261] = {};
    DWORD size = sizeof(buffer) - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    buffer[size < sizeof(buffer) ? size : sizeof(buffer) - 1] = '\0';
    return std::string(buffer);
}

std::optional<uint32_t> ReadNumber(HKEY key, const char* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        size != sizeof(value)) {
        return std::nullopt;
    }
    return value;
}

// Reads the driver key of one device into *device.
void ReadDriverKey(const SetupFunctions& setup, HDEVINFO devices, SP_DEVINFO_DATA* info,
                   ModemDevice* device) {
    HKEY key = setup.openDevRegKey(devices, info, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE || key == nullptr) {
        return;
    }
    device->attachedTo = ReadText(key, "AttachedTo");
    device->maximumPortSpeed = ReadNumber(key, "MaximumPortSpeed");
    RegCloseKey(key);
}

// Subkey names of a key under the local machine hive; none when it cannot be opened.
std::vector<std::string> SubkeyNames(const char* path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        char name[261] = {};
        DWORD length = sizeof(name);
        LONG result = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result == ERROR_SUCCESS) {
            names.emplace_back(name, length);
        }
    }
    RegCloseKey(key);
    return names;
}

std::vector<SerialMapEntry> ReadSerialMap() {
    std::vector<SerialMapEntry> map;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return map;
    }
    for (DWORD index = 0;; ++index) {
        char name[261] = {};
        BYTE data[261] = {};
        DWORD nameLength = sizeof(name);
        DWORD dataSize = sizeof(data) - 1;
        DWORD type = 0;
        LONG result = RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result != ERROR_SUCCESS || type != REG_SZ) {
            continue; // a value too long for the buffers, or no text: no port of ours
        }
        data[dataSize < sizeof(data) ? dataSize : sizeof(data) - 1] = 0;
        map.push_back({std::string(name, nameLength), std::string(reinterpret_cast<char*>(data))});
    }
    RegCloseKey(key);
    return map;
}

} // namespace

bool LoadDeviceSetup() {
    return Setup().Load();
}

ModemLookup FindSystemModem(const std::string& friendlyName, ModemDevice* device) {
    if (!LoadDeviceSetup()) {
        return ModemLookup::Unavailable;
    }
    const SetupFunctions& setup = Setup().Functions();
    GUID modemClass{};
    DWORD count = 0;
    if (!setup.classGuidsFromName("Modem", &modemClass, 1, &count) || count == 0) {
        return ModemLookup::NotFound;
    }
    HDEVINFO devices = setup.getClassDevs(&modemClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) {
        return ModemLookup::NotFound;
    }
    ModemLookup result = ModemLookup::NotFound;
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof(info);
        if (!setup.enumDeviceInfo(devices, index, &info)) {
            break;
        }
        char name[261] = {};
        DWORD type = 0;
        if (!setup.getDeviceRegistryProperty(devices, &info, SPDRP_FRIENDLYNAME, &type,
                                             reinterpret_cast<BYTE*>(name), sizeof(name) - 1,
                                             nullptr) ||
            !SameIgnoringCase(name, friendlyName)) {
            continue;
        }
        *device = ModemDevice{};
        device->friendlyName = name;
        ReadDriverKey(setup, devices, &info, device);
        result = ModemLookup::Found;
        break;
    }
    setup.destroyDeviceInfoList(devices);
    return result;
}

std::vector<std::string> UsbSerialPorts() {
    return SelectUsbComPorts(ReadSerialMap(),
                             SubkeyNames("System\\CurrentControlSet\\Services\\DornCom\\Settings"));
}

} // namespace platform
