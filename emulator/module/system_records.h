#pragma once
// The installer's records as Windows keeps them: dial-up entries and connections (Remote Access),
// modem devices (Setup API) and USB serial ports (the registry), reached through the platform's
// services. They are used when the system has a dial-up service and MODLINK_CONFIG_DIR is not
// set. Otherwise the configuration folder's rasphone.pbk and modems.ini stand in for them, and the
// link holder for Remote Access: always on POSIX, and on Windows when MODLINK_CONFIG_DIR names a
// folder (which is how sessions run under Wine, whose Remote Access has no entries).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialup.h"
#include "platform/modem_devices.h"

// The system services this program uses, behind one interface so that tests can script them.
class SystemRecords {
public:
    virtual ~SystemRecords() = default;
    virtual bool DialupAvailable() = 0;
    virtual int ReadEntry(const std::string& entryName,
                          platform::dialup::EntryProperties* properties) = 0;
    virtual int ListEntries(std::vector<platform::dialup::Entry>* entries) = 0;
    virtual platform::ModemLookup FindModem(const std::string& friendlyName,
                                            platform::ModemDevice* device) = 0;
    virtual std::vector<std::string> UsbPorts() = 0;
    virtual int Dial(const std::string& entryName, const std::string& phoneNumber,
                     platform::dialup::Connection* connection) = 0;
    virtual int HangUp(platform::dialup::Connection connection) = 0;
    virtual int GetStatus(platform::dialup::Connection connection,
                          platform::dialup::ConnectionStatus* status) = 0;
    virtual int ListActive(std::vector<platform::dialup::ActiveConnection>* connections) = 0;
    virtual bool ErrorText(int error, std::string* text, int* lookupResult) = 0;
    virtual std::unique_ptr<platform::dialup::DropWatch>
    WatchForDrop(platform::dialup::Connection connection, int* error) = 0;
};

// The records in use: the test's, else the platform's.
SystemRecords& CurrentSystemRecords();
// Puts scripted records in place of the platform's (null: back to the platform's).
void SetSystemRecordsForTesting(SystemRecords* records);

// True when the session reads the system's records rather than the configuration folder's files.
bool UseSystemRecords();

// The steps of discovery over the system's records; each mirrors the file-based function of the
// same name in discovery.h.
bool SystemRasEntryDeviceName(const std::string& entryName, std::string& deviceName,
                              std::size_t capacity);
bool SystemRasEntryPhoneNumber(const std::string& entryName, std::string& phoneNumber,
                               std::size_t capacity);
bool SystemFindModemPort(const std::string& friendlyName, std::string& portName,
                         std::size_t capacity);
bool SystemModemMaxSpeed(const std::string& friendlyName, uint32_t& speed);
bool SystemRasEntrySpeed(const std::string& entryName, int& speed);
