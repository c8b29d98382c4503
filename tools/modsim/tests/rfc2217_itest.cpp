// Our RFC 2217 client against the simulator's server over 127.0.0.1, and each of them against an
// independent peer: pyserial's client against the simulator, ser2net's server against our client.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "extensions.h"
#include "platform/process.h"
#include "platform/serial_device.h"
#include "platform/serial_pty.h"
#include "port_server.h"

namespace {

using Steady = std::chrono::steady_clock;

// The simulator serving one port on a thread of this test.
class ServedModule {
public:
    explicit ServedModule(const std::vector<std::string>& options) {
        std::vector<std::string> arguments = {"--listen", "127.0.0.1:0"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        modsim::InstallObexServer(simulator);
        modsim::InstallDebugLink(simulator);
        std::string error;
        ok_ = simulator.ParseArguments(arguments, &error) && simulator.Prepare(&error);
        int failure = 0;
        listener_ = platform::TcpListener::Listen("127.0.0.1", 0, &failure);
        ok_ = ok_ && listener_ != nullptr;
        if (ok_) {
            url = "rfc2217://127.0.0.1:" + std::to_string(listener_->LocalPort());
            thread_ = std::thread([this] {
                modsim::ServeNetworkPort(simulator, listener_, stop_, [this](const std::string& line) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    events_.push_back(line);
                });
            });
        }
    }
    ~ServedModule() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool Ok() const { return ok_; }
    std::vector<std::string> Events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    bool WaitForEvents(std::size_t count) {
        Steady::time_point end = Steady::now() + std::chrono::seconds(5);
        while (Events().size() < count) {
            if (Steady::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    modsim::Simulator simulator;
    std::string url;

private:
    bool ok_ = false;
    std::unique_ptr<platform::TcpListener> listener_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> events_;
};

std::string Exchange(platform::SerialDevice& device, const std::string& command, const std::string& until) {
    EXPECT_EQ(device.Write(command.data(), command.size()), static_cast<long>(command.size()));
    std::string answer;
    Steady::time_point end = Steady::now() + std::chrono::seconds(3);
    char buffer[256];
    while (answer.find(until) == std::string::npos && Steady::now() < end) {
        long n = device.Read(buffer, sizeof(buffer));
        if (n < 0) {
            break;
        }
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    return answer;
}

std::unique_ptr<platform::SerialDevice> OpenAt(const std::string& url, uint32_t rate) {
    int error = 0;
    std::unique_ptr<platform::SerialDevice> device = platform::SerialDevice::Open(url, &error);
    EXPECT_TRUE(device) << error;
    if (device) {
        platform::SerialSettings settings;
        settings.baudRate = rate;
        EXPECT_TRUE(device->SetSettings(settings));
        device->SetTimeouts({50, 2500});
    }
    return device;
}

TEST(Rfc2217, SettingsAreAcknowledgedAndRatesAboveTheMaximumRefused) {
    ServedModule served({"--max-baud", "115200"});
    ASSERT_TRUE(served.Ok());
    int error = 0;
    std::unique_ptr<platform::SerialDevice> device = platform::SerialDevice::Open(served.url, &error);
    ASSERT_TRUE(device) << error;
    EXPECT_EQ(device->Kind(), platform::SerialKind::Network);
    platform::SerialSettings settings;
    settings.baudRate = 115200;
    EXPECT_TRUE(device->SetSettings(settings));
    settings.baudRate = 230400;
    EXPECT_FALSE(device->SetSettings(settings));
    EXPECT_EQ(device->LastError(), EINVAL);
    platform::SerialSettings now;
    ASSERT_TRUE(device->GetSettings(&now));
    EXPECT_EQ(now.baudRate, 115200u);
}

TEST(Rfc2217, ADtrPulseSwitchesTheModuleOnAndCtsFollows) {
    ServedModule served({"--off", "--power-on-ms", "200", "--no-echo"});
    ASSERT_TRUE(served.Ok());
    std::unique_ptr<platform::SerialDevice> device = OpenAt(served.url, 9600);
    ASSERT_TRUE(device);
    platform::SerialModemStatus status;
    ASSERT_TRUE(device->GetModemStatus(&status));
    EXPECT_FALSE(status.cts);
    // A module that is off does not answer.
    EXPECT_EQ(Exchange(*device, "AT\r", "OK"), "");
    ASSERT_TRUE(device->SetDtr(false));
    ASSERT_TRUE(device->SetDtr(true));
    Steady::time_point raised = Steady::now();
    while (device->GetModemStatus(&status) && !status.cts && Steady::now() - raised < std::chrono::seconds(3)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(status.cts);
    EXPECT_GE(Steady::now() - raised, std::chrono::milliseconds(150));
    EXPECT_EQ(Exchange(*device, "AT\r", "OK\r\n"), "\r\nOK\r\n");
}

TEST(Rfc2217, IacBytesTravelEscapedBothWays) {
    ServedModule served({"--no-echo", "--model", "Q\xFFR\xFF"});
    ASSERT_TRUE(served.Ok());
    std::unique_ptr<platform::SerialDevice> device = OpenAt(served.url, 115200);
    ASSERT_TRUE(device);
    EXPECT_EQ(Exchange(*device, "AT+CGMM\r", "OK\r\n"), "\r\nQ\xFFR\xFF\r\n\r\nOK\r\n");
    EXPECT_EQ(Exchange(*device, "at^kjra=a:/\xFF\xFF.jar\r", "OK\r\n"), "\r\nOK\r\n");
    std::lock_guard<std::mutex> lock(served.simulator.state().mutex);
    EXPECT_EQ(served.simulator.state().startedProgram, "a:/\xFF\xFF.jar");
}

TEST(Rfc2217, PurgeDropsAnswersThatWereNotRead) {
    ServedModule served({"--no-echo"});
    ASSERT_TRUE(served.Ok());
    std::unique_ptr<platform::SerialDevice> device = OpenAt(served.url, 115200);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->Write("ATI\r", 4), 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(device->Purge(platform::SerialPurge::Both));
    char buffer[64];
    EXPECT_EQ(device->Read(buffer, sizeof(buffer)), 0);
    EXPECT_EQ(Exchange(*device, "AT\r", "OK\r\n"), "\r\nOK\r\n");
}

TEST(Rfc2217, TheServerSeesEachCloseAndAUsbPortVanishesDuringARestart) {
    ServedModule served({"--no-echo", "--usb", "--restart-ms", "300"});
    ASSERT_TRUE(served.Ok());
    {
        std::unique_ptr<platform::SerialDevice> device = OpenAt(served.url, 115200);
        ASSERT_TRUE(device);
        EXPECT_EQ(Exchange(*device, "at+cfun=1,1\r", "OK\r\n"), "\r\nOK\r\n");
        char buffer[16];
        // The port goes away: the next read finds the connection closed.
        Steady::time_point end = Steady::now() + std::chrono::seconds(2);
        long n = 0;
        while ((n = device->Read(buffer, sizeof(buffer))) == 0 && Steady::now() < end) {
        }
        EXPECT_EQ(n, -1);
    }
    // Once the simulator reports the port gone, connections are refused until it is back.
    ASSERT_TRUE(served.WaitForEvents(3));
    int error = 0;
    EXPECT_EQ(platform::SerialDevice::Open(served.url, &error), nullptr);
    EXPECT_EQ(error, ECONNREFUSED);
    ASSERT_TRUE(served.WaitForEvents(4));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    std::unique_ptr<platform::SerialDevice> again = OpenAt(served.url, 115200);
    ASSERT_TRUE(again);
    EXPECT_EQ(Exchange(*again, "AT\r", "OK\r\n"), "\r\nOK\r\n");
    again.reset();
    ASSERT_TRUE(served.WaitForEvents(6));
    EXPECT_EQ(served.Events(), (std::vector<std::string>{"modsim: connected", "modsim: disconnected", "modsim: port gone",
                                                         "modsim: port back", "modsim: connected",
                                                         "modsim: disconnected"}));
}

TEST(Rfc2217, APortNobodyServesIsRefused) {
    int error = 0;
    std::unique_ptr<platform::TcpListener> listener = platform::TcpListener::Listen("127.0.0.1", 0, &error);
    ASSERT_TRUE(listener);
    std::string url = "rfc2217://127.0.0.1:" + std::to_string(listener->LocalPort());
    listener.reset();
    EXPECT_EQ(platform::SerialDevice::Open(url, &error), nullptr);
    EXPECT_EQ(error, ECONNREFUSED);
}

bool HavePyserial() {
    return std::filesystem::exists("/usr/lib/python3/dist-packages/serial/rfc2217.py") &&
           std::filesystem::exists("/usr/bin/python3");
}

TEST(Rfc2217CrossCheck, PyserialDrivesTheSimulator) {
    if (!HavePyserial()) {
        GTEST_SKIP() << "Debian package python3-serial is not installed: pyserial cross-check skipped";
    }
    ServedModule served({"--off", "--power-on-ms", "200", "--ati", "QRC9"});
    ASSERT_TRUE(served.Ok());
    std::string script = std::string(MODLINK_SOURCE_DIR) + "/tools/modsim/tests/pyserial_check.py";
    platform::ProcessOptions options;
    options.arguments = {"/usr/bin/python3", script, served.url};
    std::string output;
    int error = 0;
    int status = platform::RunToEnd(options, &output, &error);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output, "cts before pulse: False\ncts after pulse: True\n"
                      "answer: 'ATI\\r\\r\\nQRC9\\r\\nREVISION 01.000\\r\\n\\r\\nOK\\r\\n'\n");
    EXPECT_EQ(served.simulator.transcript().Lines(), std::vector<std::string>{"ATI"});
}

std::string FindSer2net() {
    for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net"}) {
        if (std::filesystem::exists(path)) {
            return path;
        }
    }
    return std::string();
}

TEST(Rfc2217CrossCheck, OurClientTalksToSer2netServingAPty) {
    std::string ser2net = FindSer2net();
    if (ser2net.empty()) {
        GTEST_SKIP() << "Debian package ser2net is not installed: ser2net cross-check skipped";
    }
    int error = 0;
    std::unique_ptr<platform::PtyMaster> pty = platform::PtyMaster::Create(&error);
    ASSERT_TRUE(pty);
    std::unique_ptr<platform::TcpListener> probe = platform::TcpListener::Listen("127.0.0.1", 0, &error);
    ASSERT_TRUE(probe);
    uint16_t port = probe->LocalPort();
    probe.reset();
    std::filesystem::path folder = std::filesystem::temp_directory_path() / ("ser2net_check_" + std::to_string(port));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "ser2net.yaml") << "connection: &c1\n"
                                              "    accepter: telnet(rfc2217),tcp,127.0.0.1,"
                                           << port << "\n    connector: serialdev," << pty->DevicePath()
                                           << ",9600n81,local\n";
    platform::ProcessOptions options;
    options.arguments = {ser2net, "-d", "-u", "-c", (folder / "ser2net.yaml").string(), "-P",
                         (folder / "ser2net.pid").string()};
    options.output = platform::ChildOutput::Discard;
    options.inheritInput = false;
    std::unique_ptr<platform::Process> server = platform::Process::Start(options, &error);
    ASSERT_TRUE(server) << error;

    std::unique_ptr<platform::SerialDevice> device;
    Steady::time_point end = Steady::now() + std::chrono::seconds(5);
    while (!device && Steady::now() < end) {
        device = platform::SerialDevice::Open("rfc2217://127.0.0.1:" + std::to_string(port), &error);
        if (!device) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ASSERT_TRUE(device) << error;
    platform::SerialSettings settings;
    settings.baudRate = 115200;
    EXPECT_TRUE(device->SetSettings(settings));
    EXPECT_TRUE(device->SetTimeouts({50, 2500}));
    EXPECT_EQ(pty->BaudRate(), 115200u);
    // DTR gets no answer from ser2net on a pty: the call must still return.
    EXPECT_TRUE(device->SetDtr(true));

    std::string sent = "AT\xFF\r";
    ASSERT_EQ(device->Write(sent.data(), sent.size()), 4);
    std::string got;
    char buffer[64];
    while (got.size() < sent.size() && Steady::now() < end + std::chrono::seconds(3)) {
        long n = pty->Read(buffer, sizeof(buffer), 100);
        ASSERT_GE(n, 0);
        got.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(got, sent);
    ASSERT_TRUE(pty->Write("\r\nOK\xFF\r\n", 7));
    got.clear();
    while (got.size() < 7 && Steady::now() < end + std::chrono::seconds(6)) {
        long n = device->Read(buffer, sizeof(buffer));
        ASSERT_GE(n, 0);
        got.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(got, "\r\nOK\xFF\r\n");
    device.reset();
    server->Terminate(0);
    server->Wait(5000, &error);
    std::filesystem::remove_all(folder);
}

} // namespace
