// Which entries of the serial device map are USB virtual COM ports: a pure rule over the values
// read, shared by every OS so that it is tested everywhere.
#include <algorithm>
#include <cctype>

#include "platform/modem_devices.h"

namespace platform {

namespace {

std::string UpperCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return UpperCase(a) == UpperCase(b);
}

} // namespace

std::vector<std::string> SelectUsbComPorts(const std::vector<SerialMapEntry>& map,
                                           const std::vector<std::string>& vendorDriverPorts) {
    std::vector<std::string> ports;
    for (const SerialMapEntry& entry : map) {
        std::string device = UpperCase(entry.deviceName);
        if (UpperCase(entry.portName).rfind("COM", 0) != 0 || device.rfind("VMDMD", 0) == 0 ||
            device.find("USB") == std::string::npos) {
            continue;
        }
        bool vendorPort = std::any_of(
            vendorDriverPorts.begin(), vendorDriverPorts.end(),
            [&](const std::string& port) { return SameIgnoringCase(port, entry.portName); });
        if (!vendorPort) {
            ports.push_back(entry.portName);
        }
    }
    return ports;
}

} // namespace platform
