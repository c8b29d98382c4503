// Discovery on POSIX systems: the USB port list from a sysfs tree laid out by the test (ttys whose
// device is a USB interface, made of symbolic links as the kernel lays them out) next to modems
// the configuration folder declares USB, and the configuration folders of the XDG layout.
#include "module/discovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/env.h"
#include "core/records.h"
#include "../support/discovery_folders.h"

namespace fs = std::filesystem;

namespace {

class Discovery : public DiscoveryFolders {
protected:
    // A tty whose device is a USB interface, as the cdc-acm driver lays it out.
    void UsbTty(const std::string& name, const std::string& usbDevice) {
        fs::path device = root_ / "sys" / "devices" / "pci0000:00" / "usb1" / usbDevice / (usbDevice + ":1.0");
        fs::create_directories(device);
        fs::create_directories(root_ / "sys" / "bus" / "usb");
        std::error_code ec;
        fs::create_directory_symlink(root_ / "sys" / "bus" / "usb", device / "subsystem", ec);
        fs::create_directories(root_ / "sys" / "class" / "tty" / name);
        fs::create_directory_symlink(device, root_ / "sys" / "class" / "tty" / name / "device");
    }
    // A tty on the platform bus, like a built-in UART.
    void SerialTty(const std::string& name) {
        fs::path device = root_ / "sys" / "devices" / "platform" / "serial8250";
        fs::create_directories(device);
        fs::create_directories(root_ / "sys" / "class" / "tty" / name);
        fs::create_directory_symlink(device, root_ / "sys" / "class" / "tty" / name / "device");
    }
};

TEST_F(Discovery, UsbPortRunsAt115200WhateverIsStored) {
    UsbTty("ttyACM0", "1-1");
    PhoneBook("");                      // no ConnectBPS: not even read for USB
    Modem("/dev/ttyACM0", "");          // no MaximumPortSpeed either
    Settings.ComBaudRate = 9600;
    ASSERT_TRUE(ReadPortSettings());
    EXPECT_EQ(Settings.ComPortName, "/dev/ttyACM0");
    EXPECT_EQ(Settings.ComBaudRate, 115200);
}

TEST_F(Discovery, UsbListHoldsUsbTtysOnlyAndSkipsVendorDriverPorts) {
    UsbTty("ttyACM0", "1-1");
    UsbTty("ttyACM1", "1-2");
    UsbTty("ttyACM10", "1-3");
    SerialTty("ttyS0");
    fs::create_directories(root_ / "sys" / "class" / "tty" / "tty0"); // no device at all
    WriteConfig("DornCom.ini", "[/DEV/TTYACM1]\n");
    int count = -1;
    EXPECT_EQ(ListUsbComPorts(UsbPortListCapacity, &count), "/dev/ttyACM0,/dev/ttyACM10");
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(IsUsbComPort("/dev/ttyACM10"));
    EXPECT_FALSE(IsUsbComPort("/dev/ttyACM1")); // served by the vendor driver, and not a prefix match
    EXPECT_FALSE(IsUsbComPort("/dev/ttyACM"));
    EXPECT_FALSE(IsUsbComPort("/dev/ttyS0"));
    EXPECT_FALSE(IsUsbComPort(""));
}

TEST_F(Discovery, UsbListLeavesOutPortsThatDoNotFit) {
    UsbTty("ttyACM0", "1-1");
    UsbTty("ttyACM1", "1-2");
    int count = 0;
    // "/dev/ttyACM0" is 12 characters: it needs 14 of the capacity, both together 26.
    EXPECT_EQ(ListUsbComPorts(25, &count), "/dev/ttyACM0");
    EXPECT_EQ(count, 1);
    EXPECT_EQ(ListUsbComPorts(26, &count), "/dev/ttyACM0,/dev/ttyACM1");
    EXPECT_EQ(count, 2);
    EXPECT_EQ(ListUsbComPorts(13, &count), "");
    EXPECT_EQ(count, 0);
}

TEST_F(Discovery, ModemsDeclaredUsbJoinTheListAfterTheSysfsPorts) {
    UsbTty("ttyACM0", "1-1");
    WriteConfig("modems.ini",
                "[Served Module]\nAttachedTo=rfc2217://127.0.0.1:4000\nPortType=USB\n"
                "[Plain Modem]\nAttachedTo=rfc2217://127.0.0.1:4001\nPortType=serial\n"
                "[Untyped Modem]\nAttachedTo=/dev/ttyS1\n"
                "[Local Module]\nAttachedTo=/dev/ttyACM0\nPortType=usb\n"         // already listed by sysfs
                "[Comma Module]\nAttachedTo=rfc2217://a,b\nPortType=usb\n"        // could not match whole
                "[Empty Module]\nPortType=usb\n"
                "[served module]\nAttachedTo=rfc2217://127.0.0.1:4002\nPortType=usb\n" // not the one in use
                "[Driver Module]\nAttachedTo=/dev/ttyUSB5\nPortType=usb\n");
    WriteConfig("DornCom.ini", "[/dev/ttyUSB5]\n");
    int count = 0;
    EXPECT_EQ(ListUsbComPorts(UsbPortListCapacity, &count), "/dev/ttyACM0,rfc2217://127.0.0.1:4000");
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(IsUsbComPort("rfc2217://127.0.0.1:4000"));
    EXPECT_FALSE(IsUsbComPort("rfc2217://127.0.0.1:400")); // whole items only
    EXPECT_FALSE(IsUsbComPort("rfc2217://127.0.0.1:4001"));
    EXPECT_FALSE(IsUsbComPort("rfc2217://127.0.0.1:4002"));
    EXPECT_FALSE(IsUsbComPort("/dev/ttyS1"));
    EXPECT_FALSE(IsUsbComPort("rfc2217://a"));
    EXPECT_FALSE(IsUsbComPort("/dev/ttyUSB5"));
    // Declared ports obey the capacity like the others.
    EXPECT_EQ(ListUsbComPorts(20, &count), "/dev/ttyACM0");
    EXPECT_EQ(count, 1);
}

TEST(ConfigFolders, ExplicitFolderAloneElseUserFolderThenSystemFolder) {
    platform::SetEnv("MODLINK_CONFIG_DIR", "/x/cfg");
    EXPECT_EQ(ConfigFolders(), std::vector<std::string>{"/x/cfg"});
    platform::UnsetEnv("MODLINK_CONFIG_DIR");
    auto home = platform::GetEnv("HOME");
    auto xdg = platform::GetEnv("XDG_CONFIG_HOME");
    platform::SetEnv("XDG_CONFIG_HOME", "/x/xdg");
    EXPECT_EQ(ConfigFolders(), (std::vector<std::string>{"/x/xdg/modlink", "/etc/modlink"}));
    platform::UnsetEnv("XDG_CONFIG_HOME");
    platform::SetEnv("HOME", "/x/home");
    EXPECT_EQ(ConfigFolders(), (std::vector<std::string>{"/x/home/.config/modlink", "/etc/modlink"}));
    if (home) {
        platform::SetEnv("HOME", *home);
    }
    if (xdg) {
        platform::SetEnv("XDG_CONFIG_HOME", *xdg);
    }
}

} // namespace
