// Which serial device map entries are USB virtual COM ports.
#include <gtest/gtest.h>

#include "platform/modem_devices.h"

namespace {

using platform::SelectUsbComPorts;
using platform::SerialMapEntry;

TEST(UsbComPorts, OnlyUsbDevicesOfComPortsThatNoVendorDriverServes) {
    std::vector<SerialMapEntry> map = {
        {"\\Device\\Serial0", "COM1"},    // a real serial port
        {"\\Device\\USBSER000", "COM7"},  // a USB virtual port
        {"\\Device\\usbser001", "com8"},  // names are compared without regard to case
        {"\\Device\\VMDMD_USB0", "COM9"}, // USB modem device of the system itself ...
        {"VMDMD\\USB1", "COM10"},         // ... only when the name begins with it
        {"\\Device\\USBSER002", "CNCA0"}, // a USB device whose port is no COM port
        {"\\Device\\USBSER003", "COM11"}, // served by the vendor's own serial driver
    };
    std::vector<std::string> vendorPorts = {"com11", "COM1"};
    EXPECT_EQ(SelectUsbComPorts(map, vendorPorts),
              (std::vector<std::string>{"COM7", "com8", "COM9"}));
    EXPECT_EQ(SelectUsbComPorts(map, {}),
              (std::vector<std::string>{"COM7", "com8", "COM9", "COM11"}));
    EXPECT_TRUE(SelectUsbComPorts({}, vendorPorts).empty());
}

} // namespace
