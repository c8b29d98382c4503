#pragma once
// Finding the module's port and speed from the installed dial-up entry and modem device.
//
// The stand-ins on POSIX live in the configuration folder (ConfigFolders()):
//   rasphone.pbk  one section per dial-up entry: Device (modem friendly name), PhoneNumber,
//                 ConnectBPS
//   modems.ini    one section per modem friendly name: AttachedTo (port), MaximumPortSpeed,
//                 PortType (usb: AttachedTo is a USB virtual serial port, e.g. one a serial server
//                 serves as an rfc2217:// URL)
//   DornCom.ini   one section per port served by the vendor's own serial driver
// and the USB serial ports come from sysfs (MODLINK_SYSFS replaces the /sys root).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Capacity of the USB port list text.
constexpr std::size_t UsbPortListCapacity = 1024;

// Reads ComPortName and ComBaudRate of Settings for the entry RasEntryName. True when both are
// settled; false after printing why not.
bool ReadPortSettings();

// The USB serial ports joined with ",": the ttys sysfs places on a USB bus, then the ports of the
// modems declared PortType=usb; ports that would make the text longer than capacity
// (counting room for a separator and the end) are left out. *count gets the number of ports.
std::string ListUsbComPorts(std::size_t capacity, int* count);

// True when the port is one of the USB serial ports.
bool IsUsbComPort(const std::string& portName);

// The device (modem friendly name) of a dial-up entry, cut to capacity - 1 characters. True when
// the entry's properties could be read.
bool ReadRasEntryDeviceName(const std::string& entryName, std::string& deviceName,
                            std::size_t capacity);

// What a dial-up entry holds beyond its speed.
struct RasEntryProperties {
    std::string deviceName;
    std::string phoneNumber;
    std::string phoneBookPath;
};
bool ReadRasEntryProperties(const std::string& entryName, RasEntryProperties& properties);

// The port a present modem with that friendly name (compared without regard to case) is
// attached to, cut to capacity - 1 characters. True when it has a non-empty AttachedTo value.
bool FindModemPort(const std::string& friendlyName, std::string& portName, std::size_t capacity);

// The modem's MaximumPortSpeed; true when the value was read.
bool ReadModemMaxSpeed(const std::string& friendlyName, uint32_t& speed);

// The ConnectBPS of the entry whose name equals entryName exactly; true when found (-1 counts as
// missing).
bool ReadRasEntrySpeed(const std::string& entryName, int& speed);

// The AttachedTo ports of the modems whose PortType is "usb" (any case), in file order. A friendly
// name counts once: its first section decides, as it does for FindModemPort.
std::vector<std::string> DeclaredUsbPorts();

// True when the device services are available (always on POSIX, where files stand in for them).
bool LoadSetupApi();

// The folders searched for configuration files, in order: MODLINK_CONFIG_DIR alone when set;
// otherwise $XDG_CONFIG_HOME/modlink (or ~/.config/modlink), then /etc/modlink.
std::vector<std::string> ConfigFolders();

// The first existing file of that name in ConfigFolders(); empty when none.
std::string FindConfigFile(const std::string& name);
