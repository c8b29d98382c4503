// Serial ports and modems from the system's own records. The test lays out the serial device map
// and the vendor driver's port list in the registry of the Wine prefix (or a test machine) and
// removes them again.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "platform/modem_devices.h"

namespace {

const char kSerialMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
const char kVendorPorts[] = "System\\CurrentControlSet\\Services\\DornCom\\Settings";
const char kVendorPortKey[] = "System\\CurrentControlSet\\Services\\DornCom\\Settings\\COM62";

struct TestValue {
    const char* name;
    const char* port;
};
const TestValue kTestValues[] = {
    {"\\Device\\modlinkUSBSER60", "COM60"},
    {"\\Device\\modlinkSerial61", "COM61"},
    {"\\Device\\modlinkUSBSER62", "COM62"},
};

class SystemSerialPorts : public ::testing::Test {
protected:
    void SetUp() override {
        HKEY map = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSerialMap, 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &map, &disposition) != ERROR_SUCCESS) {
            GTEST_SKIP() << "the serial device map cannot be written here";
        }
        for (const TestValue& value : kTestValues) {
            RegSetValueExA(map, value.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.port),
                           static_cast<DWORD>(strlen(value.port) + 1));
        }
        RegCloseKey(map);
        HKEY vendor = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kVendorPortKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &vendor, &disposition),
                  ERROR_SUCCESS);
        RegCloseKey(vendor);
        written_ = true;
    }
    void TearDown() override {
        if (!written_) {
            return;
        }
        HKEY map = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialMap, 0, KEY_ALL_ACCESS, &map) ==
            ERROR_SUCCESS) {
            for (const TestValue& value : kTestValues) {
                RegDeleteValueA(map, value.name);
            }
            RegCloseKey(map);
        }
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVendorPortKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVendorPorts);
    }

    bool written_ = false;
};

TEST_F(SystemSerialPorts, UsbPortsComeFromTheDeviceMapWithoutTheVendorDriversPorts) {
    std::vector<std::string> ports = platform::UsbSerialPorts();
    auto has = [&](const char* port) {
        return std::find(ports.begin(), ports.end(), port) != ports.end();
    };
    EXPECT_TRUE(has("COM60"));
    EXPECT_FALSE(has("COM61"));
    EXPECT_FALSE(has("COM62"));
}

TEST(SystemModems, AnUnknownModemIsNotFoundOrTheSetupLibraryIsMissing) {
    platform::ModemDevice device;
    platform::ModemLookup result = platform::FindSystemModem("No such modem of modlink", &device);
    EXPECT_NE(result, platform::ModemLookup::Found);
    EXPECT_EQ(result == platform::ModemLookup::Unavailable, !platform::LoadDeviceSetup());
}

} // namespace
