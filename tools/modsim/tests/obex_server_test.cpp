// The simulated module's OBEX server, packet by packet: written from the protocol's rules so it
// checks the client instead of echoing it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "obex_server.h"

using namespace modsim;

namespace {

std::string B16(std::size_t v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }

std::string Packet(uint8_t op, const std::string& body) { return std::string(1, static_cast<char>(op)) + B16(body.size() + 3) + body; }

std::string Name(const std::string& ascii) {
    std::string n = Utf8ToName(ascii);
    return std::string(1, 0x01) + B16(n.size() + 3) + n;
}

std::string Bytes(uint8_t id, const std::string& data) { return std::string(1, static_cast<char>(id)) + B16(data.size() + 3) + data; }

class Server : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        flash = std::filesystem::temp_directory_path() / ("modsim-obex-" + std::to_string(random()));
        std::filesystem::create_directories(flash / "A");
        std::filesystem::create_directories(flash / "B");
        simulator.options().flashDir = flash.string();
        simulator.options().driveCount = 2;
        std::string error;
        ASSERT_TRUE(simulator.Prepare(&error)) << error;
        session = std::make_unique<ObexSession>(simulator, config, faults);
    }
    void TearDown() override { std::filesystem::remove_all(flash); }
    uint8_t Code(const std::string& packet) { return static_cast<uint8_t>(session->Handle(packet).bytes[0]); }
    std::string Connect(const std::string& target) {
        return session->Handle(Packet(0x80, std::string("\x10\x00\x04\x00", 4) + Bytes(0x46, target))).bytes;
    }
    std::filesystem::path flash;
    Simulator simulator;
    ObexServerConfig config;
    ObexFaultState faults;
    std::unique_ptr<ObexSession> session;
};

const std::string kFs("\x6B\x01\xCB\x31\x41\x06\x11\xD4\x9A\x77\x00\x50\xDA\x3F\x47\x1F", 16);

} // namespace

TEST_F(Server, ConnectAnswersWithConnectionIdWhoAndItsPacketSize) {
    std::string answer = Connect(kFs);
    ASSERT_GE(answer.size(), 7u);
    EXPECT_EQ(static_cast<uint8_t>(answer[0]), 0xA0);
    EXPECT_EQ(answer.substr(3, 4), std::string("\x10\x00\x40\x00", 4));
    EXPECT_EQ(answer.substr(7, 5), std::string("\xCB\x00\x00\x00\x01", 5));
    EXPECT_EQ(answer.substr(12), Bytes(0x4A, kFs));
    EXPECT_EQ(static_cast<uint8_t>(Connect("IRMC-SYNC")[0]), 0xA0);
    EXPECT_EQ(static_cast<uint8_t>(Connect("unknown target!!")[0]), 0xC6);
}

TEST_F(Server, SetPathFlagsCreateEnterClimbAndSwitchDrives) {
    Connect(kFs);
    EXPECT_EQ(Code(Packet(0x85, std::string("\x02\x00", 2) + Name("sub"))), 0xC4); // must exist
    EXPECT_EQ(Code(Packet(0x85, std::string("\x00\x00", 2) + Name("sub"))), 0xA0); // created
    EXPECT_TRUE(std::filesystem::is_directory(flash / "A" / "sub"));
    EXPECT_EQ(Code(Packet(0x85, std::string("\x03\x00", 2))), 0xA0);              // up
    EXPECT_EQ(Code(Packet(0x85, std::string("\x03\x00", 2))), 0xC4);              // no parent of the root
    EXPECT_EQ(Code(Packet(0x85, std::string("\x02\x00", 2) + Name(".."))), 0xC3);
    EXPECT_EQ(Code(Packet(0x85, std::string("\x00\x00", 2) + Name("B:"))), 0xA0);
    EXPECT_EQ(Code(Packet(0x85, std::string("\x00\x00", 2) + Name("B2"))), 0xA0);
    EXPECT_TRUE(std::filesystem::is_directory(flash / "B" / "B2"));
    EXPECT_EQ(Code(Packet(0x85, std::string("\x00\x00", 2) + Name("C:"))), 0xC4);
}

TEST_F(Server, PutStoresOnTheFinalPacketAndANamelessBodyDeletes) {
    Connect(kFs);
    EXPECT_EQ(Code(Packet(0x02, Name("f.jar") + std::string("\xC3\x00\x00\x00\x06", 5) + Bytes(0x48, "abc"))), 0x90);
    EXPECT_FALSE(std::filesystem::exists(flash / "A" / "f.jar")); // nothing until the object is whole
    EXPECT_EQ(Code(Packet(0x82, Bytes(0x49, "def"))), 0xA0);
    std::ifstream in(flash / "A" / "f.jar");
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "abcdef");
    EXPECT_EQ(Code(Packet(0x82, Name("f.jar") + Bytes(0x4C, std::string("\x38\x05\"RW\"\"", 7)))), 0xA0);
    EXPECT_EQ(Code(Packet(0x82, Name("f.jar"))), 0xA0);
    EXPECT_FALSE(std::filesystem::exists(flash / "A" / "f.jar"));
    EXPECT_EQ(Code(Packet(0x82, Name("f.jar"))), 0xC4);
}

TEST_F(Server, AFullFlashRefusesTheObjectAndKeepsNothing) {
    config.flashLimit = 4;
    Connect(kFs);
    EXPECT_EQ(Code(Packet(0x02, Name("big") + Bytes(0x48, "abc"))), 0x90);
    EXPECT_EQ(Code(Packet(0x82, Bytes(0x49, "de"))), 0xE0);
    EXPECT_FALSE(std::filesystem::exists(flash / "A" / "big"));
    EXPECT_EQ(Code(Packet(0x82, Name("big") + std::string("\xC3\x00\x00\x00\x09", 5) + Bytes(0x49, ""))), 0xE0);
}

TEST_F(Server, ListingsCarryLengthTelecomAndEndOfBodyAndDevinfoTheModel) {
    config.maxPacket = 255;
    std::ofstream(flash / "A" / "a.txt") << std::string(300, 'x');
    Connect(kFs);
    std::string type = Bytes(0x42, std::string("x-obex/folder-listing\0", 22));
    std::string all;
    std::string answer = session->Handle(Packet(0x83, type)).bytes;
    ASSERT_EQ(static_cast<uint8_t>(answer[0]), 0x90);
    EXPECT_EQ(static_cast<uint8_t>(answer[3]), 0xC3);
    while (static_cast<uint8_t>(answer[0]) == 0x90) {
        all += answer;
        answer = session->Handle(Packet(0x83, "")).bytes;
    }
    ASSERT_EQ(static_cast<uint8_t>(answer[0]), 0xA0);
    EXPECT_EQ(static_cast<uint8_t>(answer[3]), 0x49);
    all += answer;
    EXPECT_NE(all.find("<folder name=\"telecom\""), std::string::npos);
    EXPECT_NE(all.find("<file name=\"a.txt\" size=\"300\""), std::string::npos);

    EXPECT_EQ(Code(Packet(0x85, std::string("\x02\x00", 2) + Name("telecom"))), 0xA0);
    answer = session->Handle(Packet(0x83, Name("devinfo.txt"))).bytes;
    EXPECT_NE(answer.find("MOD:QRE-SIM\r\n"), std::string::npos);
}
