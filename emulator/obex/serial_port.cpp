// The transfer's port object on the serial device abstraction. Reads poll a non-blocking device
// with 1 ms sleeps so that every wait runs on the injected clock.
#include "obex/serial_port.h"

#include <cstring>

namespace obex {

CSerialPort::CSerialPort(platform::SerialDevice* device, uint32_t configuredBaud, platform::Clock& clock)
    : device_(device), clock_(clock), configuredBaud_(configuredBaud) {
    if (device_ == nullptr) {
        return;
    }
    settings_.baudRate = 19200;
    settings_.dataBits = 8;
    settings_.parity = platform::SerialParity::None;
    settings_.stopBits = platform::SerialStopBits::One;
    settings_.ctsOutputFlow = true;
    settings_.rts = platform::SerialLineMode::Handshake;
    settings_.dtr = platform::SerialLineMode::Off;
    settings_.xonXoff = false;
    bool ok = device_->SetSettings(settings_);
    if (ok) currentBaud_ = 19200;
    platform::SerialTimeouts timeouts;
    timeouts.readFirstByteMs = 0;
    timeouts.writeTotalMs = 1000;
    ok = device_->SetTimeouts(timeouts) && ok;
    device_->Purge(platform::SerialPurge::Both);
    lastError_ = ok ? 0 : device_->LastError();
}

HRESULT CSerialPort::Read(uint8_t* buffer, std::size_t* count, uint32_t timeoutMs, bool exact) {
    std::size_t wanted = *count;
    std::size_t got = 0;
    *count = 0;
    if (device_ == nullptr) {
        return kFail;
    }
    uint32_t lastData = clock_.TickCount();
    while (got < wanted) {
        long n = device_->Read(buffer + got, wanted - got);
        if (n < 0) {
            lastError_ = device_->LastError();
            device_->ClearErrors();
            *count = got;
            return kFail;
        }
        uint32_t now = clock_.TickCount();
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            lastData = now;
            continue;
        }
        if (!exact && got > 0 && now - lastData >= 50) {
            break;
        }
        if (now - lastData >= timeoutMs) {
            *count = got;
            return kReadTimeout;
        }
        clock_.Sleep(1);
    }
    *count = got;
    return kOk;
}

std::size_t CSerialPort::Write(const uint8_t* data, std::size_t length) {
    if (device_ == nullptr) {
        return 0;
    }
    long n = device_->Write(data, length);
    if (n < 0) {
        lastError_ = device_->LastError();
        if (lastError_ == 0) lastError_ = -1;
        device_->ClearErrors();
        return 0;
    }
    return static_cast<std::size_t>(n);
}

void CSerialPort::Clear() {
    if (device_ == nullptr) return;
    device_->ClearErrors();
    device_->Purge(platform::SerialPurge::Both);
}

void CSerialPort::Purge() {
    if (device_ != nullptr) device_->Purge(platform::SerialPurge::Both);
}

bool CSerialPort::SetRate(uint32_t baudRate) {
    if (device_ == nullptr) return false;
    if (baudRate == currentBaud_) return true;
    platform::SerialSettings wanted = settings_;
    wanted.baudRate = baudRate;
    if (!device_->SetSettings(wanted)) {
        lastError_ = device_->LastError();
        return false;
    }
    settings_ = wanted;
    currentBaud_ = baudRate;
    return true;
}

bool CSerialPort::WakeUp() {
    platform::SerialModemStatus status;
    bool done = false;
    if (device_->GetModemStatus(&status) && status.cts) {
        device_->SetDtr(true);
        done = true;
    } else if (device_->GetModemStatus(&status)) {
        device_->SetDtr(false);
        uint32_t since = clock_.TickCount() - lastDtrTick_;
        if (dtrUsed_ && since < 400) clock_.Sleep(400 - since);
        device_->SetDtr(true);
        clock_.Sleep(500);
        uint32_t start = clock_.TickCount();
        while (clock_.TickCount() - start < 8000) {
            if (device_->GetModemStatus(&status) && status.cts) {
                clock_.Sleep(200);
                done = true;
                break;
            }
            clock_.Sleep(10);
        }
        if (!done) device_->SetDtr(false);
    }
    // Later rate changes must keep DTR where the wake-up left it.
    settings_.dtr = done ? platform::SerialLineMode::On : platform::SerialLineMode::Off;
    lastDtrTick_ = clock_.TickCount();
    dtrUsed_ = true;
    return done;
}

bool CSerialPort::QueryModel() {
    static const uint8_t kCommand[] = "AT+CGMM\r";
    if (Write(kCommand, 8) != 8) {
        return false;
    }
    uint8_t answer[129] = {};
    std::size_t count = 128;
    Read(answer, &count, 250, false);
    std::string text(reinterpret_cast<const char*>(answer), strnlen(reinterpret_cast<const char*>(answer), count));
    if (text.find("OK") == std::string::npos) {
        return false;
    }
    std::size_t lf = text.find('\n');
    std::string model;
    if (lf != std::string::npos) {
        std::size_t start = text.find_first_not_of("\r\n", lf);
        if (start != std::string::npos) {
            std::size_t end = text.find_first_of("\r\n", start);
            model = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        }
    }
    model_ = model;
    return true;
}

} // namespace obex
