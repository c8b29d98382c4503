// Hand-over helpers: the SDK tool command lines, the device adapter lookup and the process tree
// that stopping the device manager ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "debuglink/handover.h"
#include "core/records.h"
#include "support/modsim_runner.h"

namespace {

TEST(HandoverCommandsTest, NetenlistIsQuotedAndNamedForTheSystem) {
    EXPECT_EQ(NetenlistCommandLine("/opt/sdk/bin", "list", platform::OsFamily::Posix),
              "\"/opt/sdk/bin/netenlist\" list");
    EXPECT_EQ(NetenlistCommandLine("C:\\SDK\\bin", "add ip 192.168.0.1", platform::OsFamily::Windows),
              "\"C:\\SDK\\bin\\netenlist.exe\" add ip 192.168.0.1");
}

TEST(HandoverCommandsTest, ProcessTreeTakesEveryInstanceAndAllDescendants) {
    std::vector<platform::ProcessInfo> table = {
        {1, 0, "init"},        {10, 1, "trayhost"}, {11, 10, "java"},  {12, 11, "sh"},
        {20, 1, "bash"},       {21, 20, "trayhost"}, {22, 20, "vim"},  {30, 12, "sleep"},
        {40, 1, "trayhost.sh"}};
    std::vector<int> tree = ProcessTreeOfImage(table, "trayhost");
    EXPECT_EQ(std::set<int>(tree.begin(), tree.end()), (std::set<int>{10, 11, 12, 21, 30}));
    // Parents come before their children.
    auto at = [&](int id) { return std::find(tree.begin(), tree.end(), id) - tree.begin(); };
    EXPECT_LT(at(10), at(11));
    EXPECT_LT(at(12), at(30));
    EXPECT_TRUE(ProcessTreeOfImage(table, "nothing").empty());
}

class ProductNameTest : public ::testing::Test {
protected:
    void SetUp() override { ModuleFamily = "QREx"; }
    void TearDown() override { ModuleFamily.clear(); }
    void Adapter(const std::string& name, const std::string& text) {
        testsupport::WriteTextFile(DeviceAdapterFolder(sdk_.Path()) + name, text);
    }
    testsupport::ScratchFolder sdk_{"sdk"};
};

TEST_F(ProductNameTest, FirstAdapterWhoseProductNameHoldsTheFamily) {
    Adapter("a.properties", "productName: Other QRDx Device\n");
    Adapter("b.properties", "vendor: x\r\nproductName: Simulated QREx Module\r\n");
    Adapter("c.properties", "productName: Second QREx Module\n");
    EXPECT_EQ(FindDeviceProductName(sdk_.Path()), "Simulated QREx Module");
    ModuleFamily = "qrex"; // the comparison keeps letter case
    EXPECT_EQ(FindDeviceProductName(sdk_.Path()), "");
    ModuleFamily.clear();
    EXPECT_EQ(FindDeviceProductName(sdk_.Path()), "");
}

TEST_F(ProductNameTest, NoFolderOrNoMatchGivesNothing) {
    EXPECT_EQ(FindDeviceProductName(sdk_.Path()), "");
    Adapter("a.properties", "productName: Other QRDx Device\n");
    EXPECT_EQ(FindDeviceProductName(sdk_.Path()), "");
}

} // namespace
