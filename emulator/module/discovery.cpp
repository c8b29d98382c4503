// The module's port and speed, taken from the debug dial-up entry and the modem it dials over.
// Both are set up by the toolkit's installer, which is why every failure asks for its repair.
#include <algorithm>

#include "module/discovery.h"
#include "module/system_records.h"
#include "core/log.h"
#include "core/records.h"

namespace {

const char CompanyName[] = "Brelmont";
const char ToolkitName[] = "HRZN";

// The entry's device name is kept in a 100-character record field.
constexpr std::size_t DeviceNameCapacity = 100;
// Port names are device paths or URLs on POSIX, kept whole up to 259 characters.
constexpr std::size_t PortNameCapacity = 260;
constexpr int UsbBaudRate = 115200;

void Err(const char* text) { LogPrint(LogChannel::Err, "%s", text); }

void ErrWithNames(const char* format) {
    LogPrint(LogChannel::Err, format, CompanyName, ToolkitName);
}

} // namespace

bool ReadPortSettings() {
    LogPrint(LogChannel::Log, "Reading COM port parameter out from \"cfgprobe.dll\"...\n");

    // The system's records, or the configuration folder's files standing in for them.
    const bool system = UseSystemRecords();
    std::string deviceName;
    if (!(system ? SystemRasEntryDeviceName(RasEntryName, deviceName, DeviceNameCapacity)
                 : ReadRasEntryDeviceName(RasEntryName, deviceName, DeviceNameCapacity))) {
        Err("\nDebug RAS connection is not installed!");
        ErrWithNames("\nPlease start %s %s setup in maintenance mode and select \"Repair\".\n");
        return false;
    }

    std::string port;
    if (!(system ? SystemFindModemPort(deviceName, port, PortNameCapacity)
                 : FindModemPort(deviceName, port, PortNameCapacity))) {
        Err("\nDebug modem device is not installed!");
        Err("\nIf the USB interface is used please check if the module is switched on.");
        ErrWithNames("\nOtherwise start %s %s setup in maintenance mode and select \"Repair\".\n");
        return false;
    }
    Settings.ComPortName = port;

    // A USB virtual port runs at any rate the driver is told; the module side always uses 115200.
    if (IsUsbComPort(Settings.ComPortName)) {
        LogPrint(LogChannel::Log, "Use standard modem:\"%s\" on USB port \"%s\" with %d Baud\n",
                 deviceName.c_str(), Settings.ComPortName.c_str(), Settings.ComBaudRate);
        Settings.ComBaudRate = UsbBaudRate;
        return true;
    }

    uint32_t modemSpeed = 0;
    if (!(system ? SystemModemMaxSpeed(deviceName, modemSpeed) : ReadModemMaxSpeed(deviceName, modemSpeed))) {
        Err("\nFailed to access debug modem device!");
        ErrWithNames("\nPlease start %s %s setup in maintenance mode and select \"Repair\" to fix this.\n");
        return false;
    }
    int entrySpeed = 0;
    if (!(system ? SystemRasEntrySpeed(RasEntryName, entrySpeed) : ReadRasEntrySpeed(RasEntryName, entrySpeed))) {
        Err("\nFailed to access debug RAS connection!");
        ErrWithNames("\nPlease start %s %s setup in maintenance mode and select \"Repair\" to fix this.\n");
        return false;
    }

    const int modemRate = static_cast<int>(modemSpeed);
    if (modemRate == entrySpeed) {
        Settings.ComBaudRate = modemRate;
    } else if (!Settings.DebugMode) {
        Settings.ComBaudRate = std::min(modemRate, entrySpeed);
    } else {
        // The dial-up link runs at the entry's speed, so a debug session needs both to agree.
        Err("\nModem baud rate setting differs from RAS baud rate setting!");
        ErrWithNames("\nPlease start %s %s setup in maintenance mode and select \"Repair\" to fix this.");
        Err("\nAlternatively set both baud rate values to the same value (refer to the Java-User-Guide).\n");
        return false;
    }

    LogPrint(LogChannel::Log, "Use standard modem:\"%s\" on \"%s\" with %d Baud\n", deviceName.c_str(),
             Settings.ComPortName.c_str(), Settings.ComBaudRate);
    LogPrint(LogChannel::Log, "Used baudrate: %d\n", Settings.ComBaudRate);
    return true;
}
