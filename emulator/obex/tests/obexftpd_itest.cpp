// The client engine and operation layer against an existing OBEX server, Debian's obexftpd, over
// a plain TCP transport that exists only in this test. The check is narrow because obexftpd is:
//  - it answers CONNECT with a Who copied from our Target, so the Who check cannot fail here (the
//    wrong-Who case is covered by the engine's byte tests);
//  - it refuses every SETPATH, so only the root folder is used;
//  - its last listing packet carries Body, not End-of-Body: the engine takes a Body in the final
//    answer too, which this test relies on;
//  - it stores a PUT only when the whole object is in one final packet, deletes a file on a PUT
//    with a Name and parameters but no body (our permission PUT), and sends listing times
//    with a "Z" suffix (read as UTC).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "obex/obex_com.h"
#include "platform/process.h"
#include "platform/tcp_socket.h"

using namespace obex;

namespace {

// OBEX packets over TCP: one write, then the response framed by its length field.
class TcpTransport : public ITransportLayer {
public:
    explicit TcpTransport(std::unique_ptr<platform::TcpStream> stream) : stream_(std::move(stream)) {}
    HRESULT Open(const std::string&, uint32_t) override { return kOk; }
    HRESULT Close() override { return kOk; }
    HRESULT LeaveObexMode() override { return kOk; }
    HRESULT Transact(uint8_t* buffer, std::size_t* length, uint32_t timeoutMs, std::size_t capacity) override {
        if (stream_->Send(buffer, *length, timeoutMs) != static_cast<long>(*length)) return kLinkFailure;
        std::size_t got = 0, want = 3;
        while (got < want) {
            long n = stream_->Receive(buffer + got, want - got, timeoutMs);
            if (n <= 0) return kLinkFailure;
            got += static_cast<std::size_t>(n);
            if (got == 3) {
                want = (static_cast<std::size_t>(buffer[1]) << 8) | buffer[2];
                if (want > capacity) return kInvalidArg;
                if (want < 3) want = 3;
            }
        }
        *length = got;
        return kOk;
    }
    HRESULT Model(std::string*) override { return kNotImplemented; }
    HRESULT DriveCount(int* count) override {
        *count = 1;
        return kOk;
    }

private:
    std::unique_ptr<platform::TcpStream> stream_;
};

bool Listening(uint16_t port) {
    // A probing connect would use up obexftpd's only connection: look at the socket table.
    std::ifstream table("/proc/net/tcp6");
    char wanted[16];
    std::snprintf(wanted, sizeof(wanted), ":%04X", port);
    for (std::string line; std::getline(table, line);) {
        if (line.find(wanted) != std::string::npos && line.find(" 0A ") != std::string::npos) return true;
    }
    return false;
}

class MemoryStream : public IStream {
public:
    explicit MemoryStream(std::string data) : data_(std::move(data)) {}
    HRESULT Read(void* buffer, uint32_t count, uint32_t* read) override {
        std::size_t n = std::min<std::size_t>(count, data_.size() - pos_);
        std::copy_n(data_.data() + pos_, n, static_cast<char*>(buffer));
        pos_ += n;
        *read = static_cast<uint32_t>(n);
        return kOk;
    }
    HRESULT Seek(int64_t move, int, uint64_t*) override {
        pos_ = static_cast<std::size_t>(move);
        return kOk;
    }
    HRESULT Stat(StreamStat* stat) override {
        stat->size = data_.size();
        return kOk;
    }

private:
    std::string data_;
    std::size_t pos_ = 0;
};

} // namespace

TEST(Obexftpd, ConnectListGetDeletePutAndDisconnect) {
    std::string program = platform::FindProgram("obexftpd");
    if (program.empty()) GTEST_SKIP() << "obexftpd is not installed (Debian package obexftp)";
    std::random_device random;
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("obexftpd-" + std::to_string(random()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "pre.txt") << "twenty bytes of text";
    std::ofstream(dir / "gone.txt") << "x";
    uint16_t port = static_cast<uint16_t>(20000 + random() % 20000);

    platform::ProcessOptions options;
    options.arguments = {program, "-c", dir.string(), "-v", "-n", "127.0.0.1:" + std::to_string(port)};
    options.output = platform::ChildOutput::Discard;
    options.inheritInput = false;
    int error = 0;
    auto server = platform::Process::Start(options, &error);
    ASSERT_TRUE(server) << error;
    for (int i = 0; i < 200 && !Listening(port); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(Listening(port));
    auto stream = platform::TcpStream::Connect("127.0.0.1", port, 2000, &error);
    ASSERT_TRUE(stream) << error;
    TcpTransport transport(std::move(stream));

    OBEXCom com;
    ASSERT_EQ(com.Attach(&transport), kOk);
    int session = 0;
    ASSERT_EQ(com.Connect(&session, false), kOk);
    EXPECT_EQ(session, 1);
    EXPECT_EQ(com.Engine()->PacketSize(), 0x400u);

    FileList list;
    ASSERT_EQ(com.List(session, u"\\*", &list), kOk);
    auto pre = std::find_if(list.begin(), list.end(), [](const FileEntry& e) { return e.name == u"pre.txt"; });
    ASSERT_NE(pre, list.end());
    EXPECT_EQ(pre->size, 20u);
    EXPECT_NE(pre->modified, 0.0); // the Z-suffixed time was read

    CGetFileBuffer content(100);
    ASSERT_EQ(com.GetFile(session, u"\\pre.txt", content, 0), kOk);
    EXPECT_EQ(std::string(content.Content().begin(), content.Content().end()), "twenty bytes of text");

    EXPECT_EQ(com.DeleteFile(session, u"\\gone.txt"), kOk);
    EXPECT_FALSE(std::filesystem::exists(dir / "gone.txt"));

    // One packet holds the whole small object. The engine's PUT is used alone: the permission PUT
    // that PutFile sends afterwards (Name and parameters, no body) makes obexftpd delete the file.
    MemoryStream small("uploaded");
    OBEXHelpers* engine = com.Engine();
    engine->BeginPacket();
    ASSERT_EQ(engine->SetPath(session, u"\\new.txt", 2, false), kOk);
    engine->Put4ByteHeader(kHiLength, 8);
    EXPECT_TRUE(Succeeded(engine->PutBody(8, small, 40000)));
    std::ifstream in(dir / "new.txt");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "uploaded");

    EXPECT_EQ(com.Disconnect(session, false), kOk);
    server->Terminate(0); // it serves one connection, then spins
    int code = 0;
    server->Wait(5000, &code);
    std::filesystem::remove_all(dir);
}
