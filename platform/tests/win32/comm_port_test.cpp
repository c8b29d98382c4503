// Native COM ports. A machine without serial hardware gets a linked pair of ports from the
// environment: MODLINK_TEST_COM_PAIR="COM5,COM6" names two ports whose data lines are crossed
// (under Wine: dosdevices links to the two ends of a pty pair made by socat, see
// scripts/wine-com-pair.sh). Without it only the failures that need no port are tested.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/serial_device.h"

namespace {

using namespace platform;
using Steady = std::chrono::steady_clock;

bool ComPair(std::string* first, std::string* second) {
    const char* pair = std::getenv("MODLINK_TEST_COM_PAIR");
    std::string text = pair == nullptr ? "" : pair;
    std::size_t comma = text.find(',');
    if (comma == std::string::npos) {
        return false;
    }
    *first = text.substr(0, comma);
    *second = text.substr(comma + 1);
    return !first->empty() && !second->empty();
}

std::unique_ptr<SerialDevice> OpenPort(const std::string& name) {
    int error = -1;
    std::unique_ptr<SerialDevice> device = SerialDevice::Open(name, &error);
    EXPECT_NE(device, nullptr) << name << ": error " << error;
    EXPECT_EQ(error, device ? 0 : error);
    return device;
}

// Reads until size bytes came or two seconds passed.
std::string ReadBytes(SerialDevice& device, std::size_t size) {
    std::string got;
    char buffer[128];
    Steady::time_point end = Steady::now() + std::chrono::seconds(2);
    while (got.size() < size && Steady::now() < end) {
        long n = device.Read(buffer, sizeof(buffer));
        if (n < 0) {
            break;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

TEST(CommPort, NamesThatAreNoPortFailWithTheSystemsCode) {
    int error = 0;
    EXPECT_EQ(SerialDevice::Open("COM199", &error), nullptr);
    EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << error;
    EXPECT_EQ(SerialDevice::Open("", &error), nullptr);
    EXPECT_EQ(error, ERROR_INVALID_NAME);
    // A device that exists but is no serial port.
    EXPECT_EQ(SerialDevice::Open("NUL", &error), nullptr);
    EXPECT_NE(error, 0);
}

TEST(CommPort, LinkedPortsCarryEveryByteUnderTheTimeouts) {
    std::string firstName, secondName;
    if (!ComPair(&firstName, &secondName)) {
        GTEST_SKIP() << "MODLINK_TEST_COM_PAIR is not set";
    }
    std::unique_ptr<SerialDevice> first = OpenPort(firstName);
    std::unique_ptr<SerialDevice> second = OpenPort(secondName);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->Kind(), SerialKind::Native);
    EXPECT_EQ(first->Name(), firstName);

    SerialSettings settings;
    settings.baudRate = 115200;
    settings.dtr = SerialLineMode::On;
    settings.rts = SerialLineMode::Handshake;
    ASSERT_TRUE(first->SetSettings(settings)) << first->LastError();
    ASSERT_TRUE(second->SetSettings(settings)) << second->LastError();
    SerialSettings read;
    ASSERT_TRUE(first->GetSettings(&read));
    EXPECT_EQ(read.baudRate, 115200u);
    EXPECT_EQ(read.dataBits, 8);
    EXPECT_EQ(read.parity, SerialParity::None);
    EXPECT_EQ(read.stopBits, SerialStopBits::One);
    settings.baudRate = 12345;
    EXPECT_FALSE(first->SetSettings(settings));
    EXPECT_EQ(first->LastError(), ERROR_INVALID_PARAMETER);

    ASSERT_TRUE(first->SetTimeouts({50, 2500}));
    ASSERT_TRUE(second->SetTimeouts({50, 2500}));
    ASSERT_TRUE(first->Purge(SerialPurge::Both));
    ASSERT_TRUE(first->ClearErrors());

    // Nothing waiting: the read comes back empty after the first-byte wait.
    char buffer[16];
    EXPECT_EQ(first->Read(buffer, sizeof(buffer)), 0);

    std::string all;
    for (int value = 0; value < 256; ++value) {
        all.push_back(static_cast<char>(value));
    }
    EXPECT_EQ(first->Write(all.data(), all.size()), 256);
    EXPECT_EQ(ReadBytes(*second, all.size()), all);
    std::string answer = "OK\r\n";
    EXPECT_EQ(second->Write(answer.data(), answer.size()), 4);
    EXPECT_EQ(ReadBytes(*first, answer.size()), answer);
}

TEST(CommPort, APortIsOpenedForExclusiveUse) {
    std::string firstName, secondName;
    if (!ComPair(&firstName, &secondName)) {
        GTEST_SKIP() << "MODLINK_TEST_COM_PAIR is not set";
    }
    std::unique_ptr<SerialDevice> first = OpenPort(firstName);
    ASSERT_NE(first, nullptr);
    int error = 0;
    EXPECT_EQ(SerialDevice::Open(firstName, &error), nullptr);
    EXPECT_EQ(error, ERROR_ACCESS_DENIED);
    // Port names are case-insensitive: the same port under another spelling is just as busy.
    std::string otherCase = firstName;
    for (char& c : otherCase) {
        c = static_cast<char>(c >= 'A' && c <= 'Z'   ? c - 'A' + 'a'
                              : c >= 'a' && c <= 'z' ? c - 'a' + 'A'
                                                     : c);
    }
    EXPECT_EQ(SerialDevice::Open(otherCase, &error), nullptr);
    EXPECT_EQ(error, ERROR_ACCESS_DENIED);
    first.reset();
    EXPECT_NE(OpenPort(firstName), nullptr);
}

TEST(CommPort, ModemLinesWorkOrReportThatTheDriverHasNone) {
    std::string firstName, secondName;
    if (!ComPair(&firstName, &secondName)) {
        GTEST_SKIP() << "MODLINK_TEST_COM_PAIR is not set";
    }
    std::unique_ptr<SerialDevice> port = OpenPort(firstName);
    ASSERT_NE(port, nullptr);
    // A pty behind the port (Wine) has no modem lines; real hardware has them.
    SerialModemStatus status;
    if (!port->GetModemStatus(&status)) {
        EXPECT_EQ(port->LastError(), ERROR_NOT_SUPPORTED);
    }
    for (bool on : {false, true}) {
        if (!port->SetDtr(on)) {
            EXPECT_EQ(port->LastError(), ERROR_NOT_SUPPORTED);
        }
        if (!port->SetRts(on)) {
            EXPECT_EQ(port->LastError(), ERROR_NOT_SUPPORTED);
        }
    }
}

} // namespace
