// The registered JDK, from a key the test writes into the 32-bit view only (as a 32-bit JDK's
// installer does on a 64-bit system) and removes again.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/installed_jdk.h"

namespace {

const char kVendorKey[] = "SOFTWARE\\Brightcoast";
const char kJdkKey[] = "SOFTWARE\\Brightcoast\\Java Development Kit";
const char kVersionKey[] = "SOFTWARE\\Brightcoast\\Java Development Kit\\1.8";

void SetText(const char* path, const char* name, const char* text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text) + 1));
    RegCloseKey(key);
}

void Remove(const char* path) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY, 0);
}

TEST(InstalledJdk, TheCurrentVersionsHomeIsFoundInAnyView) {
    HKEY existing = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kJdkKey, 0, KEY_READ, &existing) == ERROR_SUCCESS) {
        RegCloseKey(existing);
        GTEST_SKIP() << "a JDK is registered on this machine";
    }
    EXPECT_EQ(platform::RegisteredJdkHome(), "");
    SetText(kJdkKey, "CurrentVersion", "1.8");
    EXPECT_EQ(platform::RegisteredJdkHome(), ""); // the version's own key is missing
    SetText(kVersionKey, "JavaHome", "C:\\Program Files (x86)\\Java\\jdk1.8.0");
    EXPECT_EQ(platform::RegisteredJdkHome(), "C:\\Program Files (x86)\\Java\\jdk1.8.0");
    Remove(kVersionKey);
    Remove(kJdkKey);
    Remove(kVendorKey);
}

} // namespace
