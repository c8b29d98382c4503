#pragma once
// The system's own record of modem devices and serial ports, which the toolkit's installer fills
// on Windows: the present devices of the setup class "Modem" with the port each is attached to,
// the serial device map (HARDWARE\DEVICEMAP\SERIALCOMM) and the ports of the vendor's own serial
// driver. POSIX systems keep no such record: there the toolkit's modems.ini stands in for the
// modems (read above this layer) and sysfs tells USB serial ports.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ModemDevice {
    std::string friendlyName;
    std::optional<std::string> attachedTo;    // the port, "AttachedTo" of the driver key
    std::optional<uint32_t> maximumPortSpeed; // "MaximumPortSpeed" of the driver key
};

// True when the system's device setup library is loaded with every function the toolkit
// requires (Windows: setupapi.dll, loaded once on first success and kept for the process; a
// failed load is tried again on the next call). False on POSIX.
bool LoadDeviceSetup();

enum class ModemLookup { Found, NotFound, Unavailable };

// The first present modem whose friendly name equals friendlyName without regard to case; the
// walk stops there whatever its values hold. Unavailable when the setup library is missing (and
// always on POSIX).
ModemLookup FindSystemModem(const std::string& friendlyName, ModemDevice* device);

// One value of the serial device map: the driver's device name and the port name it serves.
struct SerialMapEntry {
    std::string deviceName;
    std::string portName;
};

// The USB virtual COM ports among the map's entries, in map order: the port name begins with
// "COM" (any case), the device name, upper-cased, contains "USB" and does not begin with "VMDMD"
// (the system's own modem-over-USB devices), and the port is not one of vendorDriverPorts
// (compared without regard to case), which are real serial ports even when they hang on USB.
std::vector<std::string> SelectUsbComPorts(const std::vector<SerialMapEntry>& map,
                                           const std::vector<std::string>& vendorDriverPorts);

// The USB serial ports of this machine, by port name. Windows: SelectUsbComPorts over the serial
// device map and the subkeys of the vendor driver's settings key (a map that cannot be opened
// gives none; a missing settings key serves no port). POSIX: the ttys that sysfs places below a
// USB device ("/dev/ttyACM0"), sorted by name; MODLINK_SYSFS replaces the /sys root.
std::vector<std::string> UsbSerialPorts();

} // namespace platform
