// Port discovery against a configuration folder laid out by the test. The USB port list read
// from a sysfs tree and the configuration folders of a POSIX system are tested in
// posix/discovery_posix_test.cpp.
#include "module/discovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/env.h"
#include "core/records.h"
#include "support/discovery_folders.h"

namespace fs = std::filesystem;

namespace {

const std::string& Entry = DiscoveryEntry;
const std::string Repair = "\nPlease start Brelmont HRZN setup in maintenance mode and select \"Repair\" to fix this.";

class Discovery : public DiscoveryFolders {
protected:
    std::string RunExpectingFailure() {
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(ReadPortSettings());
        return ::testing::internal::GetCapturedStderr();
    }
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

TEST_F(Discovery, ADeclaredUsbModemRunsAt115200WhateverIsStored) {
    PhoneBook("ConnectBPS=57600\n");
    Modem("rfc2217://127.0.0.1:4000", "MaximumPortSpeed=57600\nPortType=Usb\n");
    Settings.DebugMode = 1;
    ASSERT_TRUE(ReadPortSettings());
    EXPECT_EQ(Settings.ComPortName, "rfc2217://127.0.0.1:4000");
    EXPECT_EQ(Settings.ComBaudRate, 115200);
}

} // namespace
