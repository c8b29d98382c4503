#pragma once
// Scripted system records (dial-up entries and connections, modems, USB ports) for tests of the
// paths that read Windows' own records. Installing one makes UseSystemRecords() true while
// MODLINK_CONFIG_DIR is unset; the object puts the platform's records back when it is destroyed.
#include <map>
#include <string>
#include <vector>

#include "module/system_records.h"

class ScriptedSystemRecords : public SystemRecords {
public:
    ScriptedSystemRecords();
    ~ScriptedSystemRecords() override;

    std::map<std::string, platform::dialup::EntryProperties> entries; // by exact name
    std::vector<platform::dialup::Entry> entryList;                   // what the entry list gives
    std::vector<platform::ModemDevice> modems;                        // present modems, in order
    std::vector<std::string> usbPorts;
    int dialResult = 0;
    std::vector<platform::dialup::ActiveConnection> active;
    std::map<platform::dialup::Connection, platform::dialup::ConnectionStatus>
        status; // missing: gone
    int hangUpResult = 0;
    bool hangUpEndsLink = true;
    bool watchRefused = false;
    bool dropped = false;

    std::vector<std::string> dialled; // "entry|number"
    int hangUps = 0;

    bool DialupAvailable() override { return true; }
    int ReadEntry(const std::string& entryName,
                  platform::dialup::EntryProperties* properties) override;
    int ListEntries(std::vector<platform::dialup::Entry>* list) override;
    platform::ModemLookup FindModem(const std::string& friendlyName,
                                    platform::ModemDevice* device) override;
    std::vector<std::string> UsbPorts() override { return usbPorts; }
    int Dial(const std::string& entryName, const std::string& phoneNumber,
             platform::dialup::Connection* connection) override;
    int HangUp(platform::dialup::Connection connection) override;
    int GetStatus(platform::dialup::Connection connection,
                  platform::dialup::ConnectionStatus* result) override;
    int ListActive(std::vector<platform::dialup::ActiveConnection>* connections) override;
    bool ErrorText(int error, std::string* text, int* lookupResult) override;
    std::unique_ptr<platform::dialup::DropWatch>
    WatchForDrop(platform::dialup::Connection connection, int* error) override;
};
