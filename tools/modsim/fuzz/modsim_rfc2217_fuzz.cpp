// The simulator's RFC 2217 server: one connection whose bytes are the fuzzer's (Telnet
// negotiation, com port commands and AT data mixed), accepted by a listener that stops the
// server after it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_simulator.h"
#include "port_server.h"

namespace {

class InputStream : public platform::TcpStream {
public:
    InputStream(std::string input, std::size_t piece) : input_(std::move(input)), piece_(piece ? piece : 1) {}
    long Receive(void* buffer, std::size_t size, uint32_t) override {
        if (input_.empty()) return -1;
        std::size_t count = std::min({input_.size(), size, piece_});
        std::memcpy(buffer, input_.data(), count);
        input_.erase(0, count);
        return static_cast<long>(count);
    }
    long Send(const void*, std::size_t size, uint32_t) override { return static_cast<long>(size); }
    void Shutdown() override {}
    int LastError() const override { return 0; }

private:
    std::string input_;
    std::size_t piece_;
};

class OneConnection : public platform::TcpListener {
public:
    OneConnection(std::unique_ptr<platform::TcpStream> stream, std::atomic<bool>& stop)
        : stream_(std::move(stream)), stop_(stop) {}
    uint16_t LocalPort() const override { return 1; }
    std::unique_ptr<platform::TcpStream> Accept(uint32_t, int*) override {
        if (!stream_) stop_ = true;
        return std::move(stream_);
    }

private:
    std::unique_ptr<platform::TcpStream> stream_;
    std::atomic<bool>& stop_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    auto simulator = modsimfuzz::MakeSimulator("rfc2217");
    std::atomic<bool> stop{false};
    std::unique_ptr<platform::TcpListener> listener = std::make_unique<OneConnection>(
        std::make_unique<InputStream>(std::string(reinterpret_cast<const char*>(data + 1), size - 1), 1 + data[0] % 64),
        stop);
    modsim::ServeNetworkPort(*simulator, listener, stop, [](const std::string&) {});
    return 0;
}
