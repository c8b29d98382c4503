// USB serial ports: the ports the system reports as USB virtual ports (sysfs on POSIX, the serial
// device map on Windows). A modem may also declare its port USB (PortType=usb): a USB module
// reached through a serial server is still a USB virtual port, though nothing local shows it.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "module/discovery.h"
#include "module/system_records.h"
#include "core/private_profile.h"

namespace fs = std::filesystem;

namespace {

// Ports served by the vendor's own serial driver are real serial ports even when their device
// reports USB; the installer lists them, one section per port.
const char VendorDriverPortsName[] = "DornCom.ini";

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsServedByVendorDriver(const std::string& port) {
    std::string list = FindConfigFile(VendorDriverPortsName);
    if (list.empty()) {
        return false;
    }
    for (const auto& name : ReadProfileSectionNames(list)) {
        if (EqualsIgnoreCase(name, port)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string ListUsbComPorts(std::size_t capacity, int* count) {
    std::string list;
    int ports = 0;
    // The system's own records already leave out the vendor driver's ports; the files are read
    // only when they stand in for those records.
    const bool system = UseSystemRecords();
    std::vector<std::string> candidates = CurrentSystemRecords().UsbPorts();
    if (!system) {
        for (const auto& port : DeclaredUsbPorts()) {
            if (std::find(candidates.begin(), candidates.end(), port) == candidates.end()) {
                candidates.push_back(port);
            }
        }
    }
    for (const auto& port : candidates) {
        if (!system && IsServedByVendorDriver(port)) {
            continue;
        }
        if (list.size() + port.size() + 2 > capacity) {
            continue; // no room left in the list text
        }
        if (!list.empty()) {
            list += ',';
        }
        list += port;
        ++ports;
    }
    if (count != nullptr) {
        *count = ports;
    }
    return list;
}

bool IsUsbComPort(const std::string& portName) {
    // Whole items are compared: "/dev/ttyACM1" must not match "/dev/ttyACM10". A link to a
    // port (/dev/serial/by-id/...) is the port it leads to.
    std::string list = ListUsbComPorts(UsbPortListCapacity, nullptr);
    std::string resolved;
    if (!portName.empty() && portName.front() == '/') {
        std::error_code ec;
        resolved = fs::canonical(portName, ec).string();
    }
    std::size_t start = 0;
    while (!list.empty() && start <= list.size()) {
        std::size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!portName.empty() && (item == portName || (!resolved.empty() && item == resolved))) {
            return true;
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return false;
}
