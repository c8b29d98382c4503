#include "testsupport/scripted_system_records.h"

#include <algorithm>
#include <cctype>

namespace dialup = platform::dialup;

namespace {

// The connection a successful scripted dial hands out.
dialup::Connection DialledConnection() {
    return reinterpret_cast<dialup::Connection>(0x5150);
}

class ScriptedDropWatch : public dialup::DropWatch {
public:
    explicit ScriptedDropWatch(const bool& dropped) : dropped_(dropped) {}
    bool Dropped(uint32_t) override { return dropped_; }

private:
    const bool& dropped_;
};

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

ScriptedSystemRecords::ScriptedSystemRecords() {
    SetSystemRecordsForTesting(this);
}
ScriptedSystemRecords::~ScriptedSystemRecords() {
    SetSystemRecordsForTesting(nullptr);
}

int ScriptedSystemRecords::ReadEntry(const std::string& entryName,
                                     dialup::EntryProperties* properties) {
    auto found = entries.find(entryName);
    if (found == entries.end()) {
        return dialup::kErrorCannotFindEntry;
    }
    *properties = found->second;
    return dialup::kSuccess;
}

int ScriptedSystemRecords::ListEntries(std::vector<dialup::Entry>* list) {
    *list = entryList;
    return dialup::kSuccess;
}

platform::ModemLookup ScriptedSystemRecords::FindModem(const std::string& friendlyName,
                                                       platform::ModemDevice* device) {
    for (const platform::ModemDevice& modem : modems) {
        if (SameIgnoringCase(modem.friendlyName, friendlyName)) {
            *device = modem;
            return platform::ModemLookup::Found;
        }
    }
    return platform::ModemLookup::NotFound;
}

int ScriptedSystemRecords::Dial(const std::string& entryName, const std::string& phoneNumber,
                                dialup::Connection* connection) {
    dialled.push_back(entryName + "|" + phoneNumber);
    *connection = dialResult == 0 ? DialledConnection() : nullptr;
    if (dialResult == 0) {
        status[DialledConnection()] = {dialup::kStateConnected, 0};
    }
    return dialResult;
}

int ScriptedSystemRecords::HangUp(dialup::Connection connection) {
    ++hangUps;
    if (hangUpEndsLink) {
        status.erase(connection);
    }
    return hangUpResult;
}

int ScriptedSystemRecords::GetStatus(dialup::Connection connection,
                                     dialup::ConnectionStatus* result) {
    auto found = status.find(connection);
    if (found == status.end()) {
        return dialup::kErrorInvalidHandle;
    }
    *result = found->second;
    return dialup::kSuccess;
}

int ScriptedSystemRecords::ListActive(std::vector<dialup::ActiveConnection>* connections) {
    *connections = active;
    return dialup::kSuccess;
}

bool ScriptedSystemRecords::ErrorText(int error, std::string* text, int* lookupResult) {
    if (error == 678) {
        *text = "The remote computer did not respond.";
        *lookupResult = 0;
        return true;
    }
    *lookupResult = 87;
    return false;
}

std::unique_ptr<dialup::DropWatch> ScriptedSystemRecords::WatchForDrop(dialup::Connection,
                                                                       int* error) {
    if (watchRefused) {
        *error = 6;
        return nullptr;
    }
    *error = 0;
    return std::make_unique<ScriptedDropWatch>(dropped);
}
