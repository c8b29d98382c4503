// USB serial ports from a sysfs tree laid out by the test (MODLINK_SYSFS).
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/env.h"
#include "platform/modem_devices.h"

namespace fs = std::filesystem;

namespace {

TEST(UsbSerialPorts, TtysBelowAUsbDeviceSortedByName) {
    fs::path root = fs::temp_directory_path() / "usb_serial_ports_test";
    fs::remove_all(root);
    auto tty = [&](const std::string& name, const fs::path& device) {
        fs::create_directories(device);
        fs::create_directories(root / "class" / "tty" / name);
        fs::create_directory_symlink(device, root / "class" / "tty" / name / "device");
    };
    fs::path usbInterface =
        root / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1" / "1-2" / "1-2:1.0";
    tty("ttyACM1", usbInterface);
    tty("ttyACM0", usbInterface);
    tty("ttyS0", root / "devices" / "platform" / "serial8250");
    fs::create_directories(root / "class" / "tty" / "pts0"); // no device at all
    platform::SetEnv("MODLINK_SYSFS", root.string());
    EXPECT_EQ(platform::UsbSerialPorts(),
              (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyACM1"}));
    platform::ModemDevice device;
    EXPECT_EQ(platform::FindSystemModem("any", &device), platform::ModemLookup::Unavailable);
    platform::UnsetEnv("MODLINK_SYSFS");
    fs::remove_all(root);
}

} // namespace
