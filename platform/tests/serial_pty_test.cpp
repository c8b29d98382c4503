// The termios backend on a real pseudo-terminal: data both ways, time-outs, exclusive use, and
// modem-line calls that report failure because a pty has no modem lines.
#include <gtest/gtest.h>

#include <chrono>
#include <cerrno>
#include <thread>

#include "platform/serial_device.h"
#include "platform/serial_pty.h"

namespace {

using namespace platform;
using Steady = std::chrono::steady_clock;

class SerialPty : public ::testing::Test {
protected:
    void SetUp() override {
        int error = 0;
        master = PtyMaster::Create(&error);
        ASSERT_TRUE(master) << error;
        device = SerialDevice::Open(master->DevicePath(), &error);
        ASSERT_TRUE(device) << error;
    }
    std::unique_ptr<PtyMaster> master;
    std::unique_ptr<SerialDevice> device;
};

TEST_F(SerialPty, DataTravelsBothWaysUnchanged) {
    EXPECT_EQ(device->Kind(), SerialKind::Pty);
    SerialSettings settings;
    settings.baudRate = 115200;
    ASSERT_TRUE(device->SetSettings(settings));
    EXPECT_EQ(master->BaudRate(), 115200u);
    ASSERT_TRUE(device->SetTimeouts({50, 1000}));

    std::string bytes = "AT\r\n\xFF\x00\x11\x13 end";
    bytes[5] = '\0';
    EXPECT_EQ(device->Write(bytes.data(), bytes.size()), static_cast<long>(bytes.size()));
    std::string got;
    char buffer[64];
    while (got.size() < bytes.size()) {
        long n = master->Read(buffer, sizeof(buffer), 1000);
        ASSERT_GT(n, 0);
        got.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(got, bytes);

    ASSERT_TRUE(master->Write("\r\nOK\r\n", 6));
    got.clear();
    while (got.size() < 6) {
        long n = device->Read(buffer, sizeof(buffer));
        ASSERT_GT(n, 0);
        got.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(got, "\r\nOK\r\n");
}

TEST_F(SerialPty, AReadWaitsItsFirstByteTimeOnly) {
    ASSERT_TRUE(device->SetTimeouts({50, 1000}));
    char buffer[8];
    Steady::time_point start = Steady::now();
    EXPECT_EQ(device->Read(buffer, sizeof(buffer)), 0);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count();
    EXPECT_GE(waited, 45);
    EXPECT_LT(waited, 1000);

    ASSERT_TRUE(device->SetTimeouts({0, 1000}));
    start = Steady::now();
    EXPECT_EQ(device->Read(buffer, sizeof(buffer)), 0);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count(), 40);
}

TEST_F(SerialPty, PurgeDropsWhatWasNotRead) {
    ASSERT_TRUE(device->SetTimeouts({50, 1000}));
    ASSERT_TRUE(master->Write("stale", 5));
    // Let the bytes reach the terminal side's queue before purging it.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(device->Purge(SerialPurge::Both));
    char buffer[8];
    EXPECT_EQ(device->Read(buffer, sizeof(buffer)), 0);
}

TEST_F(SerialPty, ModemLinesReportFailure) {
    SerialModemStatus status;
    EXPECT_FALSE(device->GetModemStatus(&status));
    EXPECT_EQ(device->LastError(), ENOTTY);
    EXPECT_FALSE(device->SetDtr(true));
    EXPECT_FALSE(device->SetRts(false));
    EXPECT_TRUE(device->ClearErrors());
}

TEST_F(SerialPty, ThePortIsOpenedForExclusiveUse) {
    int error = 0;
    EXPECT_EQ(SerialDevice::Open(master->DevicePath(), &error), nullptr);
    EXPECT_EQ(error, EBUSY);
    device.reset();
    EXPECT_NE(SerialDevice::Open(master->DevicePath(), &error), nullptr);
}

TEST_F(SerialPty, UnsupportedRatesAreRefused) {
    SerialSettings settings;
    settings.baudRate = 14400;
    EXPECT_FALSE(device->SetSettings(settings));
    EXPECT_EQ(device->LastError(), EINVAL);
}

} // namespace
