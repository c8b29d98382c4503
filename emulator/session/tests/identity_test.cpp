// The module identity the IDE sees, from the installed dial-up entry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "debuglink/handover.h"
#include "platform/env.h"
#include "session/module_identity.h"
#include "core/records.h"

namespace fs = std::filesystem;

namespace {

void ResetIdentity() {
    RasEntryName.clear();
    ModuleFamily.clear();
    VersionName = "Brelmont IMP-NG Module Workbench";
    QueryDeviceName = "IMP_NG_DefaultDevice";
    DeviceDescription = "Brelmont IMP-NG Default Device";
}

} // namespace

TEST(ModuleIdentity, NamesDerivedFromTheFamily) {
    ResetIdentity();
    SetModuleIdentity();
    EXPECT_EQ(VersionName, "Brelmont IMP-NG Module Workbench");
    EXPECT_EQ(QueryDeviceName, "IMP_NG_DefaultDevice");
    EXPECT_EQ(DeviceDescription, "Brelmont IMP-NG Default Device");

    ModuleFamily = "QREx";
    SetModuleIdentity();
    EXPECT_EQ(VersionName, "IMP-NG QREx Module Workbench by Brelmont");
    EXPECT_EQ(QueryDeviceName, "IMP_NG_QREx");
    EXPECT_EQ(DeviceDescription, "Brelmont IMP-NG QREx Module");

    // Underscores read as blanks in the texts people see; blanks become underscores in the name.
    ModuleFamily = "QR_Ex R2";
    SetModuleIdentity();
    EXPECT_EQ(VersionName, "IMP-NG QR Ex R2 Module Workbench by Brelmont");
    EXPECT_EQ(DeviceDescription, "Brelmont IMP-NG QR Ex R2 Module");
    EXPECT_EQ(QueryDeviceName, "IMP_NG_QR_Ex_R2");
    ResetIdentity();
}

TEST(ModuleIdentity, DisplayNameWithRelease) {
    EXPECT_EQ(DisplayNameOfFamily("QREx"), "QREx");
    EXPECT_EQ(DisplayNameOfFamily("QREx_R3"), "QREx Rel. 3");
    EXPECT_EQ(DisplayNameOfFamily("QREx R12"), "QREx Rel. 12");
    EXPECT_EQ(DisplayNameOfFamily("QR_Ex_Rx"), "QR Ex Rx");
    EXPECT_EQ(DisplayNameOfFamily("Big_Module_R1"), "Big Module R1");
    EXPECT_EQ(DisplayNameOfFamily(""), "");
}

TEST(ModuleIdentity, SelectionTriesTheCandidatesInOrder) {
    const fs::path folder = fs::temp_directory_path() /
                            ("modlink-identity-" + std::to_string(platform::CurrentProcessId()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    auto saved = platform::GetEnv("MODLINK_CONFIG_DIR");
    platform::SetEnv("MODLINK_CONFIG_DIR", folder.string());

    ResetIdentity();
    EXPECT_FALSE(SelectRasEntry());
    EXPECT_EQ(RasEntryName, "");
    EXPECT_EQ(ModuleFamily, "");

    std::ofstream(folder / "rasphone.pbk")
        << "[IP connection for remote debugging of QRBx]\nDevice=Old\n"
           "[ip connection for remote debugging of qrcx]\nDevice=Middle\n";
    EXPECT_TRUE(SelectRasEntry());
    EXPECT_EQ(ModuleFamily, "QRCx");
    EXPECT_EQ(RasEntryName, "IP connection for remote debugging of QRCx");

    if (saved) {
        platform::SetEnv("MODLINK_CONFIG_DIR", *saved);
    } else {
        platform::UnsetEnv("MODLINK_CONFIG_DIR");
    }
    fs::remove_all(folder);
    ResetIdentity();
}
