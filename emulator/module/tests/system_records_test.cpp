// Port discovery over the system's own records (Windows' dial-up entries, modem devices and
// serial port map), scripted; and the rule that MODLINK_CONFIG_DIR puts the files in their place.
#include "module/system_records.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/records.h"
#include "module/discovery.h"
#include "platform/env.h"
#include "testsupport/scripted_system_records.h"

namespace fs = std::filesystem;

namespace {

const std::string Entry = "IP connection for remote debugging of QREx";
const std::string Repair =
    "\nPlease start Brelmont HRZN setup in maintenance mode and select \"Repair\" to fix this.";

class SystemDiscovery : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = platform::GetEnv("MODLINK_CONFIG_DIR");
        platform::UnsetEnv("MODLINK_CONFIG_DIR");
        folder_ = fs::temp_directory_path() /
                  ("system_records_test_" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        Settings = SessionSettings();
        RasEntryName = Entry;
        records_.entries[Entry] = {"Module Modem", "*99***1#"};
        records_.modems = {{"Other Modem", std::string("COM1"), 9600u},
                           {"module modem", std::string("COM5"), 115200u}};
    }
    void TearDown() override {
        if (saved_) {
            platform::SetEnv("MODLINK_CONFIG_DIR", *saved_);
        }
        fs::remove_all(folder_);
    }
    // The system phone book that holds the entry, with its speed.
    void PhoneBook(const std::string& section, const std::string& speedLine) {
        std::string path = (folder_ / "rasphone.pbk").string();
        std::ofstream(path, std::ios::binary) << "[" << section << "]\r\nDEVICE=modem\r\n"
                                              << speedLine;
        records_.entryList = {{"Office", "C:\\other.pbk"}, {section, path}};
    }
    std::string RunExpectingFailure() {
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(ReadPortSettings());
        return ::testing::internal::GetCapturedStderr();
    }

    ScriptedSystemRecords records_;
    std::optional<std::string> saved_;
    fs::path folder_;
};

TEST_F(SystemDiscovery, ModemPortAndSpeedsComeFromTheSystemsRecords) {
    ASSERT_TRUE(UseSystemRecords());
    PhoneBook(Entry, "ConnectBPS=57600\r\n");
    ASSERT_TRUE(ReadPortSettings());
    EXPECT_EQ(Settings.ComPortName, "COM5");
    EXPECT_EQ(Settings.ComBaudRate, 57600);

    Settings = SessionSettings();
    Settings.DebugMode = 1;
    EXPECT_EQ(RunExpectingFailure(),
              "\nModem baud rate setting differs from RAS baud rate setting!" + Repair +
                  "\nAlternatively set both baud rate values to the same value (refer to the "
                  "Java-User-Guide).\n");
}

TEST_F(SystemDiscovery, AUsbPortRunsAt115200AndTheUsbListIsTheSystems) {
    records_.usbPorts = {"COM3", "COM5"};
    Settings.ComBaudRate = 9600;
    ASSERT_TRUE(ReadPortSettings()); // no speed is read: there is not even a phone book
    EXPECT_EQ(Settings.ComBaudRate, 115200);
    int count = 0;
    EXPECT_EQ(ListUsbComPorts(UsbPortListCapacity, &count), "COM3,COM5");
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(IsUsbComPort("COM5"));
    EXPECT_FALSE(IsUsbComPort("COM"));
}

TEST_F(SystemDiscovery, EachMissingRecordHasItsMessage) {
    PhoneBook(Entry, "ConnectBPS=115200\r\n");
    records_.entries.clear();
    EXPECT_EQ(RunExpectingFailure(),
              "\nDebug RAS connection is not installed!"
              "\nPlease start Brelmont HRZN setup in maintenance mode and select \"Repair\".\n");
    records_.entries[Entry] = {"No Such Modem", ""};
    const std::string noModem =
        "\nDebug modem device is not installed!"
        "\nIf the USB interface is used please check if the module is switched on."
        "\nOtherwise start Brelmont HRZN setup in maintenance mode and select \"Repair\".\n";
    EXPECT_EQ(RunExpectingFailure(), noModem);
    // The first modem of the name decides, even when it has no port.
    records_.entries[Entry] = {"Module Modem", ""};
    records_.modems.insert(records_.modems.begin(), {"MODULE MODEM", std::nullopt, 115200u});
    EXPECT_EQ(RunExpectingFailure(), noModem);
    records_.modems.erase(records_.modems.begin());
    records_.modems[1].maximumPortSpeed.reset();
    EXPECT_EQ(RunExpectingFailure(), "\nFailed to access debug modem device!" + Repair + "\n");
}

TEST_F(SystemDiscovery, TheEntrySpeedNeedsTheExactNameAndAKnownSpeed) {
    PhoneBook("ip connection for remote debugging of qrex", "ConnectBPS=115200\r\n");
    int speed = 0;
    EXPECT_FALSE(SystemRasEntrySpeed(Entry, speed));
    PhoneBook(Entry, "ConnectBPS=-1\r\n");
    EXPECT_FALSE(SystemRasEntrySpeed(Entry, speed));
    PhoneBook(Entry, "ConnectBPS=115200\r\n");
    EXPECT_TRUE(SystemRasEntrySpeed(Entry, speed));
    EXPECT_EQ(speed, 115200);
    records_.entryList[1].phoneBookPath = std::string(261, 'x');
    EXPECT_FALSE(SystemRasEntrySpeed(Entry, speed));
}

TEST_F(SystemDiscovery, AConfigurationFolderPutsTheFilesInPlaceOfTheSystemsRecords) {
    platform::SetEnv("MODLINK_CONFIG_DIR", folder_.string());
    EXPECT_FALSE(UseSystemRecords());
    std::ofstream(folder_ / "rasphone.pbk")
        << "[" << Entry << "]\nDevice=File Modem\nConnectBPS=57600\n";
    std::ofstream(folder_ / "modems.ini")
        << "[File Modem]\nAttachedTo=rfc2217://127.0.0.1:4000\nMaximumPortSpeed=57600\n";
    ASSERT_TRUE(ReadPortSettings());
    EXPECT_EQ(Settings.ComPortName, "rfc2217://127.0.0.1:4000");
    EXPECT_EQ(Settings.ComBaudRate, 57600);
    platform::UnsetEnv("MODLINK_CONFIG_DIR");
}

} // namespace
