// Port discovery against a configuration folder and a sysfs tree laid out by the test.
#include "module/discovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/env.h"
#include "core/records.h"

namespace fs = std::filesystem;

namespace {

const std::string Entry = "IP connection for remote debugging of QRDx";
const std::string Repair = "\nPlease start Brelmont HRZN setup in maintenance mode and select \"Repair\" to fix this.";

class Discovery : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("discovery_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "config");
        fs::create_directories(root_ / "sys" / "class" / "tty");
        platform::SetEnv("MODLINK_CONFIG_DIR", (root_ / "config").string());
        platform::SetEnv("MODLINK_SYSFS", (root_ / "sys").string());
        Settings = SessionSettings();
        RasEntryName = Entry;
    }
    void TearDown() override {
        platform::UnsetEnv("MODLINK_CONFIG_DIR");
        platform::UnsetEnv("MODLINK_SYSFS");
        fs::remove_all(root_);
    }
    void WriteConfig(const std::string& name, const std::string& text) {
        std::ofstream(root_ / "config" / name, std::ios::binary) << text;
    }
    void PhoneBook(const std::string& extra) {
        WriteConfig("rasphone.pbk", "[" + Entry + "]\r\nDevice=Module Modem\r\nPhoneNumber=*99#\r\n" + extra);
    }
    void Modem(const std::string& port, const std::string& extra) {
        WriteConfig("modems.ini", "[Other Modem]\nAttachedTo=/dev/ttyS9\n[module modem]\nAttachedTo=" + port + "\n" + extra);
    }
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
    std::string RunExpectingFailure() {
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(ReadPortSettings());
        return ::testing::internal::GetCapturedStderr();
    }
    fs::path root_;
};

TEST_F(Discovery, EqualSpeedsAreUsed) {
    PhoneBook("ConnectBPS=115200\n");
    Modem("rfc2217://127.0.0.1:4000", "MaximumPortSpeed=115200\n");
    ASSERT_TRUE(ReadPortSettings());
    EXPECT_EQ(Settings.ComPortName, "rfc2217://127.0.0.1:4000");
    EXPECT_EQ(Settings.ComBaudRate, 115200);
}

TEST_F(Discovery, DifferentSpeedsGiveTheLowerOneOnlyWhenRunning) {
    PhoneBook("ConnectBPS=57600\n");
    Modem("/dev/ttyS0", "MaximumPortSpeed=115200\n");
    ASSERT_TRUE(ReadPortSettings());
    EXPECT_EQ(Settings.ComBaudRate, 57600);

    Settings = SessionSettings();
    Settings.DebugMode = 1;
    EXPECT_EQ(RunExpectingFailure(),
              "\nModem baud rate setting differs from RAS baud rate setting!" + Repair +
                  "\nAlternatively set both baud rate values to the same value (refer to the Java-User-Guide).\n");
}

TEST_F(Discovery, UsbPortRunsAt115200WhateverIsStored) {
    UsbTty("ttyACM0", "1-1");
    PhoneBook("");                      // no ConnectBPS: not even read for USB
    Modem("/dev/ttyACM0", "");          // no MaximumPortSpeed either
    Settings.ComBaudRate = 9600;
    ASSERT_TRUE(ReadPortSettings());
    EXPECT_EQ(Settings.ComPortName, "/dev/ttyACM0");
    EXPECT_EQ(Settings.ComBaudRate, 115200);
}

TEST_F(Discovery, EachMissingPieceHasItsOwnMessage) {
    EXPECT_EQ(RunExpectingFailure(),
              "\nDebug RAS connection is not installed!"
              "\nPlease start Brelmont HRZN setup in maintenance mode and select \"Repair\".\n");

    PhoneBook("ConnectBPS=115200\n");
    EXPECT_EQ(RunExpectingFailure(),
              "\nDebug modem device is not installed!"
              "\nIf the USB interface is used please check if the module is switched on."
              "\nOtherwise start Brelmont HRZN setup in maintenance mode and select \"Repair\".\n");

    Modem("/dev/ttyS0", "");
    EXPECT_EQ(RunExpectingFailure(), "\nFailed to access debug modem device!" + Repair + "\n");

    PhoneBook("");
    Modem("/dev/ttyS0", "MaximumPortSpeed=115200\n");
    EXPECT_EQ(RunExpectingFailure(), "\nFailed to access debug RAS connection!" + Repair + "\n");
}

TEST_F(Discovery, EntrySpeedNeedsTheExactEntryNameButTheDeviceDoesNot) {
    WriteConfig("rasphone.pbk", "[ip connection for remote debugging of qrdx]\nDevice=Module Modem\nConnectBPS=115200\n");
    std::string device;
    EXPECT_TRUE(ReadRasEntryDeviceName(Entry, device, 100));
    EXPECT_EQ(device, "Module Modem");
    int speed = 0;
    EXPECT_FALSE(ReadRasEntrySpeed(Entry, speed));
    EXPECT_TRUE(ReadRasEntrySpeed("ip connection for remote debugging of qrdx", speed));
    EXPECT_EQ(speed, 115200);
}

TEST_F(Discovery, EntryPropertiesAndBoundedCopies) {
    PhoneBook("");
    RasEntryProperties properties;
    ASSERT_TRUE(ReadRasEntryProperties(Entry, properties));
    EXPECT_EQ(properties.phoneNumber, "*99#");
    EXPECT_EQ(properties.phoneBookPath, (root_ / "config" / "rasphone.pbk").string());
    std::string device;
    ASSERT_TRUE(ReadRasEntryDeviceName(Entry, device, 7));
    EXPECT_EQ(device, "Module");
    EXPECT_FALSE(ReadRasEntryDeviceName("IP connection for remote debugging of QREx", device, 100));
}

TEST_F(Discovery, FirstModemOfTheNameWinsEvenWithoutAPort) {
    WriteConfig("modems.ini", "[Module Modem]\nMaximumPortSpeed=9600\n[Module Modem 2]\nAttachedTo=/dev/x\n"
                              "[MODULE MODEM]\nAttachedTo=/dev/ttyS1\n");
    std::string port = "stale";
    EXPECT_FALSE(FindModemPort("module modem", port, 260));
    uint32_t speed = 0;
    EXPECT_TRUE(ReadModemMaxSpeed("module modem", speed));
    EXPECT_EQ(speed, 9600u);
    EXPECT_FALSE(ReadModemMaxSpeed("Absent", speed));
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

TEST_F(Discovery, ADeclaredUsbModemRunsAt115200WhateverIsStored) {
    PhoneBook("ConnectBPS=57600\n");
    Modem("rfc2217://127.0.0.1:4000", "MaximumPortSpeed=57600\nPortType=Usb\n");
    Settings.DebugMode = 1;
    ASSERT_TRUE(ReadPortSettings());
    EXPECT_EQ(Settings.ComPortName, "rfc2217://127.0.0.1:4000");
    EXPECT_EQ(Settings.ComBaudRate, 115200);
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
