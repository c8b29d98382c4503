// Discovery over the system's own records (Windows), and the choice between them and the
// configuration folder's files.
#include "module/system_records.h"

#include <atomic>

#include "core/private_profile.h"
#include "platform/env.h"

namespace {

namespace dialup = platform::dialup;

// A phone book path must fit the 261-character buffer of the entry list.
constexpr std::size_t PhoneBookPathLimit = 261;

class PlatformRecords : public SystemRecords {
public:
    bool DialupAvailable() override { return dialup::Available(); }
    int ReadEntry(const std::string& entryName, dialup::EntryProperties* properties) override {
        return dialup::ReadEntryProperties(entryName, properties);
    }
    int ListEntries(std::vector<dialup::Entry>* entries) override {
        return dialup::ListEntries(entries);
    }
    platform::ModemLookup FindModem(const std::string& friendlyName,
                                    platform::ModemDevice* device) override {
        return platform::FindSystemModem(friendlyName, device);
    }
    std::vector<std::string> UsbPorts() override { return platform::UsbSerialPorts(); }
    int Dial(const std::string& entryName, const std::string& phoneNumber,
             dialup::Connection* connection) override {
        return dialup::Dial(entryName, phoneNumber, connection);
    }
    int HangUp(dialup::Connection connection) override { return dialup::HangUp(connection); }
    int GetStatus(dialup::Connection connection, dialup::ConnectionStatus* status) override {
        return dialup::GetStatus(connection, status);
    }
    int ListActive(std::vector<dialup::ActiveConnection>* connections) override {
        return dialup::ListActiveConnections(connections);
    }
    bool ErrorText(int error, std::string* text, int* lookupResult) override {
        return dialup::ErrorText(error, text, lookupResult);
    }
    std::unique_ptr<dialup::DropWatch> WatchForDrop(dialup::Connection connection,
                                                    int* error) override {
        return dialup::WatchForDrop(connection, error);
    }
};

std::atomic<SystemRecords*> testRecords{nullptr};

std::string Bounded(const std::string& text, std::size_t capacity) {
    if (capacity == 0) {
        return std::string();
    }
    return text.size() < capacity ? text : text.substr(0, capacity - 1);
}

} // namespace

SystemRecords& CurrentSystemRecords() {
    static PlatformRecords platformRecords;
    SystemRecords* scripted = testRecords.load();
    return scripted != nullptr ? *scripted : platformRecords;
}

void SetSystemRecordsForTesting(SystemRecords* records) {
    testRecords.store(records);
}

bool UseSystemRecords() {
    auto folder = platform::GetEnv("MODLINK_CONFIG_DIR");
    if (folder && !folder->empty()) {
        return false;
    }
    return CurrentSystemRecords().DialupAvailable();
}

bool SystemRasEntryDeviceName(const std::string& entryName, std::string& deviceName,
                              std::size_t capacity) {
    dialup::EntryProperties properties;
    if (CurrentSystemRecords().ReadEntry(entryName, &properties) != dialup::kSuccess) {
        return false;
    }
    deviceName = Bounded(properties.deviceName, capacity);
    return true;
}

bool SystemRasEntryPhoneNumber(const std::string& entryName, std::string& phoneNumber,
                               std::size_t capacity) {
    dialup::EntryProperties properties;
    if (CurrentSystemRecords().ReadEntry(entryName, &properties) != dialup::kSuccess) {
        return false;
    }
    phoneNumber = Bounded(properties.phoneNumber, capacity);
    return true;
}

bool SystemFindModemPort(const std::string& friendlyName, std::string& portName,
                         std::size_t capacity) {
    platform::ModemDevice device;
    if (CurrentSystemRecords().FindModem(friendlyName, &device) != platform::ModemLookup::Found) {
        return false;
    }
    // The caller's buffer is emptied when the matching modem has no port.
    portName = Bounded(device.attachedTo.value_or(std::string()), capacity);
    return !portName.empty();
}

bool SystemModemMaxSpeed(const std::string& friendlyName, uint32_t& speed) {
    platform::ModemDevice device;
    if (CurrentSystemRecords().FindModem(friendlyName, &device) != platform::ModemLookup::Found) {
        return false;
    }
    // A missing value reads as 0, and no session runs at a speed of 0.
    speed = device.maximumPortSpeed.value_or(0);
    return speed != 0;
}

bool SystemRasEntrySpeed(const std::string& entryName, int& speed) {
    std::vector<dialup::Entry> entries;
    if (CurrentSystemRecords().ListEntries(&entries) != dialup::kSuccess) {
        return false;
    }
    for (const dialup::Entry& entry : entries) {
        if (entry.name != entryName) {
            continue; // entry names are compared exactly here
        }
        if (entry.phoneBookPath.size() >= PhoneBookPathLimit) {
            return false;
        }
        speed = ReadProfileInt(entry.phoneBookPath, entryName, "ConnectBPS", -1);
        return speed != -1;
    }
    return false;
}
