// The serial OBEX transport: AT set-up, framing and error mapping.
#include "obex/obex_serial_adapter.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace obex {
namespace {
constexpr uint32_t kGuardTimeMs = 1200;
constexpr uint32_t kSetupTimeoutMs = 1000;
} // namespace

HRESULT PortOpenResult(int error) {
    // A Windows port in use reports access denied; POSIX says EBUSY for that and EACCES for rights.
    return (error == EACCES || error == EBUSY || error == 5) ? kPortAccessDenied : kPortOpenFailed;
}

CObexSerialAdapter::CObexSerialAdapter(platform::SerialDevice* device, int openError, platform::Clock& clock,
                                       ICancelSignal* disconnect, ICancelSignal* cancelDiscover)
    : device_(device), openError_(openError), clock_(clock), disconnect_(disconnect), cancelDiscover_(cancelDiscover) {}

CObexSerialAdapter::~CObexSerialAdapter() = default;

bool CObexSerialAdapter::Cancelled() {
    bool a = disconnect_ != nullptr && disconnect_->Take();
    bool b = cancelDiscover_ != nullptr && cancelDiscover_->Take();
    return a || b;
}

int CObexSerialAdapter::TryRate(bool wake, uint32_t baudRate) {
    if (!port_->SetRate(baudRate)) {
        return 3;
    }
    port_->Clear();
    if (wake && !port_->WakeUp()) {
        return 1;
    }
    return port_->QueryModel() ? 0 : 2;
}

HRESULT CObexSerialAdapter::BaudSearch() {
    std::vector<uint32_t> rates;
    uint32_t configured = port_->ConfiguredBaud();
    if (configured != 0) rates.push_back(configured);
    for (uint32_t r : {921600u, 460800u, 230400u, 115200u, 57600u, 38400u, 19200u}) {
        if (r != configured) rates.push_back(r);
    }
    bool wake = true;
    for (int pass = 0; pass < 3; ++pass) {
        for (uint32_t rate : rates) {
            int result = TryRate(wake, rate);
            if (result != 3) wake = false;
            if (Cancelled()) return kLinkFailure;
            if (result == 0) return kOk;
            if (result == 1) return kLinkFailure;
        }
    }
    return kLinkFailure;
}

HRESULT CObexSerialAdapter::ExchangeAt(const std::string& command, uint32_t timeoutMs, std::string* response) {
    HRESULT result = kReadTimeout;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) clock_.Sleep(100);
        port_->Clear();
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(command.data());
        if (port_->Write(bytes, command.size()) != command.size()) {
            result = kLinkFailure;
            continue;
        }
        std::string text;
        uint32_t lastData = clock_.TickCount();
        result = kReadTimeout;
        for (;;) {
            uint8_t chunk[256];
            std::size_t count = sizeof(chunk);
            HRESULT hr = port_->Read(chunk, &count, 50, false);
            if (count > 0) {
                text.append(reinterpret_cast<const char*>(chunk), count);
                if (text.size() > 255) text.erase(0, text.size() - 255); // room of the answer buffer
                lastData = clock_.TickCount();
            }
            if (text.find("\r\nOK\r\n") != std::string::npos) {
                if (response) *response = text;
                return kOk;
            }
            if (text.find("\r\nERROR\r\n") != std::string::npos) {
                if (response) *response = text;
                return kAtCommandError;
            }
            if (Failed(hr) && hr != kReadTimeout) {
                result = hr;
                break;
            }
            if (clock_.TickCount() - lastData > timeoutMs) {
                result = kReadTimeout;
                break;
            }
        }
    }
    return result;
}

HRESULT CObexSerialAdapter::Open(const std::string&, uint32_t baudRate) {
    bool created = false;
    if (!port_) {
        port_ = std::make_unique<CSerialPort>(device_, baudRate, clock_);
        created = true;
    }
    if (device_ == nullptr && openError_ != 0) {
        HRESULT hr = PortOpenResult(openError_);
        if (created) port_.reset();
        return hr;
    }
    auto fail = [&](HRESULT hr) {
        if (created) port_.reset();
        driveCount_ = 0;
        return hr;
    };
    if (!port_->Valid() || port_->LastError() != 0) {
        return fail(kUnexpected);
    }
    HRESULT hr = BaudSearch();
    if (Failed(hr)) return fail(hr);
    hr = ExchangeAt("AT&F\r", kSetupTimeoutMs, nullptr);
    if (Failed(hr)) return fail(hr);
    hr = ExchangeAt("AT\\Q3\r", kSetupTimeoutMs, nullptr);
    if (Failed(hr)) return fail(hr);
    std::string answer;
    hr = ExchangeAt("AT^KQWE=100\r", kSetupTimeoutMs, &answer);
    int drives = 1;
    if (hr == kAtCommandError) {
        drives = 1;
    } else if (Failed(hr)) {
        return fail(hr);
    } else {
        std::size_t at = answer.find("\r\n^KQWE:");
        if (at != std::string::npos) {
            std::size_t p = at + 8;
            while (p < answer.size() && answer[p] == ' ') ++p;
            int n = 0;
            while (p < answer.size() && answer[p] >= '0' && answer[p] <= '9' && n < 1000) n = n * 10 + (answer[p++] - '0');
            if (n > 0) drives = n;
        }
    }
    driveCount_ = drives;
    hr = ExchangeAt("AT^KQWE=3\r", kSetupTimeoutMs, nullptr);
    if (Failed(hr)) return fail(hr);
    return kOk;
}

HRESULT CObexSerialAdapter::Close() {
    if (port_) {
        LeaveObexMode();
        port_.reset();
    }
    driveCount_ = 0;
    return kOk;
}

HRESULT CObexSerialAdapter::LeaveObexMode() {
    if (!port_) return kUnexpected;
    clock_.Sleep(kGuardTimeMs);
    static const uint8_t kEscape[] = {'+', '+', '+'};
    HRESULT hr = WriteAll(kEscape, 3);
    clock_.Sleep(kGuardTimeMs);
    port_->Purge();
    return Failed(hr) ? hr : kOk;
}

HRESULT CObexSerialAdapter::WriteAll(const uint8_t* data, std::size_t length) {
    std::size_t done = 0;
    int idleWrites = 0;
    while (done < length) {
        std::size_t n = port_->Write(data + done, length - done);
        if (n == 0) {
            // Each write waits up to its 1000 ms limit; a port that takes nothing twice is gone.
            if (!port_->Valid() || port_->LastError() != 0 || ++idleWrites >= 2) return kLinkFailure;
            continue;
        }
        idleWrites = 0;
        done += n;
    }
    return kOk;
}

HRESULT CObexSerialAdapter::Transact(uint8_t* buffer, std::size_t* length, uint32_t timeoutMs, std::size_t capacity) {
    if (!port_) return kLinkFailure;
    HRESULT hr = WriteAll(buffer, *length);
    std::size_t total = 0;
    if (Succeeded(hr)) {
        std::size_t count = 3;
        hr = port_->ReadExact(buffer, &count, timeoutMs);
        total = count;
        if (Succeeded(hr)) {
            std::size_t announced = (static_cast<std::size_t>(buffer[1]) << 8) | buffer[2];
            if (announced > capacity) {
                hr = kInvalidArg;
            } else if (announced > 3) {
                std::size_t rest = announced - 3;
                hr = port_->ReadExact(buffer + 3, &rest, timeoutMs);
                total += rest;
            }
        }
    }
    if (Succeeded(hr)) {
        *length = total;
        return kOk;
    }
    *length = 0;
    if (hr == kReadTimeout) return kLinkFailure;
    if (hr == kLinkFailure || hr == kCancelled || hr == kInvalidArg) return hr;
    // The port failed under a packet: look for the module again. Whatever that finds, the OBEX
    // session is gone (a dead port, or a module that answers AT commands and so has left OBEX
    // mode), so it is reported as a link failure: the session ends and the next request
    // reconnects from the start instead of sending its packets into a dead link.
    BaudSearch();
    return kLinkFailure;
}

HRESULT CObexSerialAdapter::Model(std::string* text) {
    if (!port_ || port_->Model().empty()) return kNotImplemented;
    if (text) *text = port_->Model();
    return kOk;
}

HRESULT CObexSerialAdapter::DriveCount(int* count) {
    int drives = driveCount_.load();
    if (drives >= 1 && drives <= 26) {
        *count = drives;
        return kOk;
    }
    return kNotImplemented;
}

} // namespace obex
