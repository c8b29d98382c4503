// The session's dial-up entry chosen from the system's records (Windows), scripted.
#include <gtest/gtest.h>

#include "core/records.h"
#include "platform/env.h"
#include "session/module_identity.h"
#include "testsupport/scripted_system_records.h"

namespace {

TEST(SystemIdentity, TheFirstInstalledEntryOfTheSystemSetsTheFamily) {
    auto saved = platform::GetEnv("MODLINK_CONFIG_DIR");
    platform::UnsetEnv("MODLINK_CONFIG_DIR");
    ScriptedSystemRecords records;
    RasEntryName.clear();
    ModuleFamily.clear();
    EXPECT_FALSE(SelectRasEntry());
    records.entries["IP connection for remote debugging of QRBx"] = {"Modem B", ""};
    records.entries["IP connection for remote debugging of QRCx"] = {"Modem C", ""};
    ASSERT_TRUE(SelectRasEntry());
    EXPECT_EQ(RasEntryName, "IP connection for remote debugging of QRCx");
    EXPECT_EQ(ModuleFamily, "QRCx");
    if (saved) {
        platform::SetEnv("MODLINK_CONFIG_DIR", *saved);
    }
}

} // namespace
