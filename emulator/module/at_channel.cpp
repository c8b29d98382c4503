// The AT channel's port settings and the AT exchange.
#include "module/at_channel.h"

#include <array>
#include <cstring>
#include <vector>

#include "module/module_io.h"
#include "core/log.h"

namespace {

int lastComPortError = 0;

constexpr uint32_t ReadFirstByteMs = 50;
constexpr uint32_t WriteTotalMs = 2500;
constexpr uint32_t RetryPauseMs = 100;
constexpr uint32_t ReadPollMs = 10;
constexpr std::size_t InternalResponseSize = 256;
constexpr std::size_t ExchangeResponseSize = 512;

constexpr std::array<uint32_t, 8> PortProbeRates = {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

// The final answers, searched in this order: every success text before any failure text.
constexpr std::array<const char*, 2> SuccessAnswers = {"OK\r\n", "CONNECT\r\n"};
constexpr std::array<const char*, 2> FailureAnswers = {"ERROR\r\n", "+CME ERROR: 21\r\n"};

bool Contains(const char* data, std::size_t size, const char* text) {
    std::size_t length = std::strlen(text);
    if (length > size) {
        return false;
    }
    // The bytes received are searched as bytes, so a stray NUL does not hide a later answer.
    for (std::size_t i = 0; i + length <= size; ++i) {
        if (std::memcmp(data + i, text, length) == 0) {
            return true;
        }
    }
    return false;
}

ComPortHandle OpenDevice(const std::string& portName) {
    int error = 0;
    ComPortHandle handle = ModuleSerialOpener().Open(portName, &error);
    lastComPortError = handle ? 0 : error;
    return handle;
}

} // namespace

int LastComPortError() { return lastComPortError; }

ComPortHandle OpenComPort(const std::string& portName, uint32_t baudRate) {
    ComPortHandle handle = OpenDevice(portName);
    if (!handle) {
        return nullptr;
    }
    platform::SerialSettings settings;
    if (!handle->GetSettings(&settings)) {
        lastComPortError = handle->LastError();
        return nullptr;
    }
    settings.baudRate = baudRate;
    settings.dataBits = 8;
    settings.parity = platform::SerialParity::None;
    settings.stopBits = platform::SerialStopBits::One;
    settings.dtr = platform::SerialLineMode::On;
    settings.rts = platform::SerialLineMode::Handshake;
    settings.ctsOutputFlow = true;
    if (!handle->SetSettings(settings) || !handle->SetTimeouts({ReadFirstByteMs, WriteTotalMs})) {
        lastComPortError = handle->LastError();
        return nullptr;
    }
    return handle;
}

void CloseComPort(ComPortHandle& handle) { handle.reset(); }

int TrySetPortBaud(uint32_t baudRate, const std::string& portName) {
    ComPortHandle handle = OpenDevice(portName);
    if (!handle) {
        return PortNotOpened;
    }
    platform::SerialSettings settings;
    if (!handle->GetSettings(&settings)) {
        lastComPortError = handle->LastError();
        return PortStateUnreadable;
    }
    settings.baudRate = baudRate;
    settings.dataBits = 8;
    settings.parity = platform::SerialParity::None;
    settings.stopBits = platform::SerialStopBits::One;
    settings.dtr = platform::SerialLineMode::On;
    if (!handle->SetSettings(settings)) {
        lastComPortError = handle->LastError();
        return PortStateRefused;
    }
    return PortBaudSet;
}

bool ProbeMaxBaudRate(const std::string& portName, uint32_t* maxBaudRate) {
    *maxBaudRate = 0;
    for (uint32_t rate : PortProbeRates) {
        if (TrySetPortBaud(rate, portName) != PortBaudSet) {
            break;
        }
        *maxBaudRate = rate;
    }
    return *maxBaudRate != 0;
}

bool SendAtCommand(platform::SerialDevice* port, const std::string& command, int timeoutMs, int retries,
                   char* response, std::size_t responseSize) {
    std::vector<char> internal;
    if (response == nullptr || responseSize == 0) {
        internal.resize(InternalResponseSize);
        response = internal.data();
        responseSize = internal.size();
    }
    std::size_t capacity = responseSize - 1;
    std::memset(response, 0, responseSize);
    if (command.empty()) {
        return true;
    }
    if (port == nullptr) {
        return false;
    }
    platform::Clock& clock = ModuleClock();
    std::size_t position = 0;
    int timeouts = 0;
    for (int attempt = 0;; ++attempt) {
        if (attempt != 0) {
            clock.Sleep(RetryPauseMs);
        }
        port->Purge(platform::SerialPurge::Both);
        long written = port->Write(command.data(), command.size());
        if (written < 0 || static_cast<std::size_t>(written) < command.size()) {
            return false;
        }
        uint32_t start = clock.TickCount();
        while (timeoutMs > 0 && clock.TickCount() - start < static_cast<uint32_t>(timeoutMs)) {
            long got = port->Read(response + position, capacity - position);
            if (got < 0) {
                return false;
            }
            if (got > 0) {
                std::size_t received = position + static_cast<std::size_t>(got);
                for (const char* answer : SuccessAnswers) {
                    if (Contains(response, received, answer)) {
                        return true;
                    }
                }
                for (const char* answer : FailureAnswers) {
                    if (Contains(response, received, answer)) {
                        return false;
                    }
                }
                position = received;
            }
            // A full buffer can take nothing more: the attempt has timed out.
            if (position >= capacity) {
                break;
            }
            clock.Sleep(ReadPollMs);
        }
        ++timeouts;
        if (timeouts > retries) {
            return false;
        }
    }
}

bool ExchangeAt(platform::SerialDevice* port, const std::string& command, int timeoutMs, const char* expected) {
    char response[ExchangeResponseSize];
    LogPrint(LogChannel::Log, "Sending AT-Command:\n%s", command.c_str());
    bool success = SendAtCommand(port, command, timeoutMs, 0, response, sizeof(response));
    LogPrint(LogChannel::Log, "Received AT-Response:\n%s", response);
    if (success && expected != nullptr && std::strstr(response, expected) == nullptr) {
        LogPrint(LogChannel::Log, "Expected string \"%s\" not found in response!\n", expected);
        return false;
    }
    return success;
}
