// USB serial ports on POSIX, from sysfs: a tty whose device sits below a USB device or interface.
// MODLINK_SYSFS replaces the /sys root, so tests can lay out a tree of their own. A modem may also
// declare its port USB (PortType=usb): a USB module reached through a serial server is still a
// USB virtual port, though nothing local shows it.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "module/discovery.h"
#include "platform/env.h"
#include "core/private_profile.h"

namespace fs = std::filesystem;

namespace {

// Ports served by the vendor's own serial driver are real serial ports even when their device
// reports USB; the installer lists them, one section per port.
const char VendorDriverPortsName[] = "DornCom.ini";

std::string SysfsRoot() {
    auto root = platform::GetEnv("MODLINK_SYSFS");
    return (root && !root->empty()) ? *root : std::string("/sys");
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// A folder of the device tree belongs to USB when its subsystem link names the usb bus, or when
// it is a USB host's root hub ("usb1", "usb2", ...).
bool IsUsbNode(const fs::path& node) {
    std::error_code ec;
    fs::path subsystem = fs::read_symlink(node / "subsystem", ec);
    if (!ec && subsystem.filename() == "usb") {
        return true;
    }
    std::string name = node.filename().string();
    return name.size() > 3 && name.compare(0, 3, "usb") == 0 &&
           std::all_of(name.begin() + 3, name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool IsOnUsbBus(const fs::path& ttyEntry, const fs::path& root) {
    std::error_code ec;
    fs::path device = fs::canonical(ttyEntry / "device", ec);
    if (ec) {
        return false; // virtual terminals and ptys have no device
    }
    fs::path top = fs::weakly_canonical(root, ec);
    for (fs::path node = device; !node.empty() && node != top && node != node.root_path();
         node = node.parent_path()) {
        if (IsUsbNode(node)) {
            return true;
        }
    }
    return false;
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
    fs::path root = SysfsRoot();
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root / "class" / "tty", ec)) {
        if (IsOnUsbBus(entry.path(), root)) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> candidates;
    for (const auto& name : names) {
        candidates.push_back("/dev/" + name);
    }
    for (const auto& port : DeclaredUsbPorts()) {
        if (std::find(candidates.begin(), candidates.end(), port) == candidates.end()) {
            candidates.push_back(port);
        }
    }
    for (const auto& port : candidates) {
        if (IsServedByVendorDriver(port)) {
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
