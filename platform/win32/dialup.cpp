// Dial-up networking through Remote Access (rasapi32), loaded at run time: Windows editions
// without it (server core) still run every other part of the toolkit.
#include "platform/dialup.h"

#include <raserror.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "ras_api.h"

namespace platform::win32 {

namespace {

template <typename Function> bool Resolve(HMODULE library, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return *function != nullptr;
}

const RasApi* LoadLibraryTable() {
    static std::once_flag once;
    static RasApi table;
    static bool loaded = false;
    std::call_once(once, [] {
        HMODULE library = LoadLibraryW(L"rasapi32.dll");
        if (library == nullptr) {
            return;
        }
        loaded = Resolve(library, "RasGetEntryPropertiesA", &table.getEntryProperties) &&
                 Resolve(library, "RasEnumEntriesA", &table.enumEntries) &&
                 Resolve(library, "RasDialA", &table.dial) &&
                 Resolve(library, "RasHangUpA", &table.hangUp) &&
                 Resolve(library, "RasGetConnectStatusA", &table.getConnectStatus) &&
                 Resolve(library, "RasEnumConnectionsA", &table.enumConnections) &&
                 Resolve(library, "RasGetErrorStringA", &table.getErrorString) &&
                 Resolve(library, "RasConnectionNotificationA", &table.connectionNotification);
        if (!loaded) {
            FreeLibrary(library);
        }
    });
    return loaded ? &table : nullptr;
}

std::atomic<const RasApi*> testTable{nullptr};

} // namespace

const RasApi* CurrentRasApi() {
    const RasApi* fake = testTable.load();
    return fake != nullptr ? fake : LoadLibraryTable();
}

void SetRasApiForTesting(const RasApi* api) {
    testTable.store(api);
}

} // namespace platform::win32

namespace platform::dialup {

namespace {

using win32::CurrentRasApi;
using win32::RasApi;

// Entry enumeration: room for one record first, then the size the system asks for.
constexpr int kEntryListTries = 5;

// Copies text into a fixed record field, cut to the field's size with room for the end.
template <std::size_t Size> void CopyField(char (&field)[Size], const std::string& text) {
    std::size_t length = text.size() < Size - 1 ? text.size() : Size - 1;
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

// The records are macros naming structs; plain names for them.
using ConnectionRecord = RASCONNA;

HRASCONN Handle(Connection connection) {
    return static_cast<HRASCONN>(connection);
}

class EventDropWatch : public DropWatch {
public:
    explicit EventDropWatch(HANDLE event) : event_(event) {}
    ~EventDropWatch() override { CloseHandle(event_); }
    EventDropWatch(const EventDropWatch&) = delete;
    EventDropWatch& operator=(const EventDropWatch&) = delete;

    // The event resets itself when a wait takes it, so the drop is remembered here.
    bool Dropped(uint32_t waitMs) override {
        if (!dropped_ && WaitForSingleObject(event_, waitMs) == WAIT_OBJECT_0) {
            dropped_ = true;
        }
        return dropped_;
    }

private:
    HANDLE event_;
    bool dropped_ = false;
};

// Reads an entry into a zeroed record whose size field is recordSize. An entry with alternate
// phone numbers needs room behind the record; the system says how much, and gets it once.
DWORD ReadEntryRecord(const RasApi& ras, const std::string& entryName, DWORD recordSize,
                      std::vector<BYTE>* record) {
    DWORD bytes = sizeof(RASENTRYA);
    DWORD result = ERROR_BUFFER_TOO_SMALL;
    for (int attempt = 0; attempt < 2 && result == ERROR_BUFFER_TOO_SMALL; ++attempt) {
        record->assign(bytes < sizeof(RASENTRYA) ? sizeof(RASENTRYA) : bytes, 0);
        reinterpret_cast<RASENTRYA*>(record->data())->dwSize = recordSize;
        bytes = static_cast<DWORD>(record->size());
        result = ras.getEntryProperties(nullptr, entryName.c_str(),
                                        reinterpret_cast<RASENTRYA*>(record->data()), &bytes,
                                        nullptr, nullptr);
        if (result == ERROR_BUFFER_TOO_SMALL && bytes <= record->size()) {
            break; // no larger size to offer
        }
    }
    return result;
}

} // namespace

bool Available() {
    return CurrentRasApi() != nullptr;
}

int ReadEntryProperties(const std::string& entryName, EntryProperties* properties) {
    const RasApi* ras = CurrentRasApi();
    if (ras == nullptr) {
        return kNotAvailable;
    }
    std::vector<BYTE> record;
    DWORD result = ReadEntryRecord(*ras, entryName, sizeof(RASENTRYA), &record);
    if (result == ERROR_INVALID_SIZE) {
        // Windows 2000 knows only its own, smaller record.
        result = ReadEntryRecord(*ras, entryName, win32::kLegacyEntrySize, &record);
    }
    const auto* entry = reinterpret_cast<const RASENTRYA*>(record.data());
    if (result != ERROR_SUCCESS) {
        return static_cast<int>(result);
    }
    properties->deviceName.assign(entry->szDeviceName,
                                  strnlen(entry->szDeviceName, sizeof(entry->szDeviceName)));
    properties->phoneNumber.assign(
        entry->szLocalPhoneNumber,
        strnlen(entry->szLocalPhoneNumber, sizeof(entry->szLocalPhoneNumber)));
    return kSuccess;
}

int ListEntries(std::vector<Entry>* entries) {
    entries->clear();
    const RasApi* ras = CurrentRasApi();
    if (ras == nullptr) {
        return kNotAvailable;
    }
    DWORD bytes = sizeof(RASENTRYNAMEA);
    DWORD result = ERROR_BUFFER_TOO_SMALL;
    for (int attempt = 0; attempt < kEntryListTries && result == ERROR_BUFFER_TOO_SMALL;
         ++attempt) {
        std::size_t records = (bytes + sizeof(RASENTRYNAMEA) - 1) / sizeof(RASENTRYNAMEA);
        std::vector<RASENTRYNAMEA> list(records == 0 ? 1 : records);
        std::memset(list.data(), 0, list.size() * sizeof(RASENTRYNAMEA));
        list[0].dwSize = sizeof(RASENTRYNAMEA);
        bytes = static_cast<DWORD>(list.size() * sizeof(RASENTRYNAMEA));
        DWORD count = 0;
        result = ras->enumEntries(nullptr, nullptr, list.data(), &bytes, &count);
        if (result == ERROR_SUCCESS) {
            for (DWORD i = 0; i < count && i < list.size(); ++i) {
                entries->push_back(
                    {std::string(list[i].szEntryName,
                                 strnlen(list[i].szEntryName, sizeof(list[i].szEntryName))),
                     std::string(
                         list[i].szPhonebookPath,
                         strnlen(list[i].szPhonebookPath, sizeof(list[i].szPhonebookPath)))});
            }
        }
    }
    return static_cast<int>(result);
}

int Dial(const std::string& entryName, const std::string& phoneNumber, Connection* connection) {
    *connection = nullptr;
    const RasApi* ras = CurrentRasApi();
    if (ras == nullptr) {
        return kNotAvailable;
    }
    RASDIALPARAMSA parameters;
    std::memset(&parameters, 0, sizeof(parameters));
    parameters.dwSize = win32::kDialParamsSize;
    CopyField(parameters.szEntryName, entryName);
    CopyField(parameters.szPhoneNumber, phoneNumber);
    HRASCONN handle = nullptr;
    DWORD result = ras->dial(nullptr, nullptr, &parameters, 0, nullptr, &handle);
    if (result != ERROR_SUCCESS) {
        // A failed dial may still hand out a handle; it holds system resources until hung up.
        if (handle != nullptr) {
            ras->hangUp(handle);
        }
        return static_cast<int>(result);
    }
    *connection = handle;
    return kSuccess;
}

int HangUp(Connection connection) {
    const RasApi* ras = CurrentRasApi();
    return ras == nullptr ? kNotAvailable : static_cast<int>(ras->hangUp(Handle(connection)));
}

int GetStatus(Connection connection, ConnectionStatus* status) {
    const RasApi* ras = CurrentRasApi();
    if (ras == nullptr) {
        return kNotAvailable;
    }
    RASCONNSTATUSA record;
    std::memset(&record, 0, sizeof(record));
    record.dwSize = sizeof(record);
    DWORD result = ras->getConnectStatus(Handle(connection), &record);
    if (result == ERROR_SUCCESS) {
        status->state = static_cast<int>(record.rasconnstate);
        status->error = static_cast<int>(record.dwError);
    }
    return static_cast<int>(result);
}

int ListActiveConnections(std::vector<ActiveConnection>* connections) {
    connections->clear();
    const RasApi* ras = CurrentRasApi();
    if (ras == nullptr) {
        return kNotAvailable;
    }
    std::vector<RASCONNA> list(1);
    std::memset(list.data(), 0, sizeof(RASCONNA));
    list[0].dwSize = sizeof(RASCONNA);
    DWORD bytes = sizeof(RASCONNA);
    DWORD count = 0;
    DWORD result = ras->enumConnections(list.data(), &bytes, &count);
    if (result == ERROR_BUFFER_TOO_SMALL) {
        if (count == 0) {
            return kSuccess;
        }
        list.assign(count, ConnectionRecord{});
        list[0].dwSize = sizeof(RASCONNA);
        bytes = static_cast<DWORD>(count * sizeof(RASCONNA));
        result = ras->enumConnections(list.data(), &bytes, &count);
    }
    if (result != ERROR_SUCCESS) {
        return static_cast<int>(result);
    }
    for (DWORD i = 0; i < count && i < list.size(); ++i) {
        connections->push_back(
            {list[i].hrasconn,
             std::string(list[i].szEntryName,
                         strnlen(list[i].szEntryName, sizeof(list[i].szEntryName)))});
    }
    return kSuccess;
}

bool ErrorText(int error, std::string* text, int* lookupResult) {
    const RasApi* ras = CurrentRasApi();
    if (ras == nullptr) {
        *lookupResult = kNotAvailable;
        return false;
    }
    char buffer[256] = {};
    DWORD result = ras->getErrorString(static_cast<UINT>(error), buffer, sizeof(buffer));
    *lookupResult = static_cast<int>(result);
    if (result != ERROR_SUCCESS) {
        return false;
    }
    buffer[sizeof(buffer) - 1] = '\0';
    *text = buffer;
    return true;
}

std::unique_ptr<DropWatch> WatchForDrop(Connection connection, int* error) {
    const RasApi* ras = CurrentRasApi();
    if (ras == nullptr) {
        *error = kNotAvailable;
        return nullptr;
    }
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (event == nullptr) {
        *error = static_cast<int>(GetLastError());
        return nullptr;
    }
    DWORD result = ras->connectionNotification(Handle(connection), event, RASCN_Disconnection);
    if (result != ERROR_SUCCESS) {
        CloseHandle(event);
        *error = static_cast<int>(result);
        return nullptr;
    }
    *error = 0;
    return std::make_unique<EventDropWatch>(event);
}

} // namespace platform::dialup
