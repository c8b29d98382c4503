// POSIX keeps no record of modem devices (the toolkit's modems.ini stands in, above this layer);
// USB serial ports come from sysfs: a tty whose device sits below a USB device or interface.
#include "platform/modem_devices.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/env.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

std::string SysfsRoot() {
    auto root = GetEnv("MODLINK_SYSFS");
    return (root && !root->empty()) ? *root : std::string("/sys");
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
           std::all_of(name.begin() + 3, name.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
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

} // namespace

bool LoadDeviceSetup() {
    return false;
}

ModemLookup FindSystemModem(const std::string&, ModemDevice*) {
    return ModemLookup::Unavailable;
}

std::vector<std::string> UsbSerialPorts() {
    fs::path root = SysfsRoot();
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root / "class" / "tty", ec)) {
        if (IsOnUsbBus(entry.path(), root)) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> ports;
    for (const auto& name : names) {
        ports.push_back("/dev/" + name);
    }
    return ports;
}

} // namespace platform
