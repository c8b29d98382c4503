#pragma once
// A configuration folder and an empty sysfs tree of a discovery test's own, and the installer's
// records written into them: the phone book with the module's entry and the modem list.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/records.h"
#include "platform/env.h"
#include "platform/process.h"

inline const std::string DiscoveryEntry = "IP connection for remote debugging of QRDx";

class DiscoveryFolders : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("discovery_" + std::to_string(platform::CurrentProcessId()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "config");
        // An empty sysfs tree: no USB port is found whatever the machine has.
        std::filesystem::create_directories(root_ / "sys" / "class" / "tty");
        platform::SetEnv("MODLINK_CONFIG_DIR", (root_ / "config").string());
        platform::SetEnv("MODLINK_SYSFS", (root_ / "sys").string());
        Settings = SessionSettings();
        RasEntryName = DiscoveryEntry;
    }
    void TearDown() override {
        platform::UnsetEnv("MODLINK_CONFIG_DIR");
        platform::UnsetEnv("MODLINK_SYSFS");
        std::filesystem::remove_all(root_);
    }
    void WriteConfig(const std::string& name, const std::string& text) {
        std::ofstream(root_ / "config" / name, std::ios::binary) << text;
    }
    void PhoneBook(const std::string& extra) {
        WriteConfig("rasphone.pbk",
                    "[" + DiscoveryEntry + "]\r\nDevice=Module Modem\r\nPhoneNumber=*99#\r\n" + extra);
    }
    void Modem(const std::string& port, const std::string& extra) {
        WriteConfig("modems.ini",
                    "[Other Modem]\nAttachedTo=/dev/ttyS9\n[module modem]\nAttachedTo=" + port + "\n" + extra);
    }
    std::filesystem::path root_;
};
