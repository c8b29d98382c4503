#pragma once
// The OBEX transport's own port object: a polling reader and writer on a serial device, the
// DTR wake-up and the module model query. It never owns the device in this system (the
// connection opens and closes it).
#include <cstdint>
#include <string>

#include "obex/hresult.h"
#include "platform/clock.h"
#include "platform/serial_device.h"

namespace obex {

class CSerialPort {
public:
    // Applies the transfer's port settings to the device (19200 baud 8N1, CTS flow with RTS
    // handshake, DTR off, reads that return at once, 1000 ms write limit) and purges it.
    CSerialPort(platform::SerialDevice* device, uint32_t configuredBaud, platform::Clock& clock);
    virtual ~CSerialPort() = default;

    // Reads up to *count bytes; exact waits for all of them. *count becomes what arrived.
    virtual HRESULT Read(uint8_t* buffer, std::size_t* count, uint32_t timeoutMs, bool exact);
    HRESULT ReadExact(uint8_t* buffer, std::size_t* count, uint32_t timeoutMs) { return Read(buffer, count, timeoutMs, true); }
    virtual std::size_t Write(const uint8_t* data, std::size_t length);

    bool Valid() const { return device_ != nullptr; }
    int LastError() const { return lastError_; }
    uint32_t ConfiguredBaud() const { return configuredBaud_; }
    const std::string& Model() const { return model_; }

    // Clears errors and break, purges both directions.
    void Clear();
    // Sets 8N1 at a rate (not again when it is the current one). False when refused.
    bool SetRate(uint32_t baudRate);
    // Wakes a switched-off module by a DTR pulse and waits for CTS.
    bool WakeUp();
    // Asks AT+CGMM; true with the model stored when answered.
    bool QueryModel();
    void Purge();

    platform::Clock& clock() { return clock_; }

private:
    platform::SerialDevice* device_;
    platform::Clock& clock_;
    uint32_t configuredBaud_;
    uint32_t currentBaud_ = 0;
    uint32_t lastDtrTick_ = 0;
    bool dtrUsed_ = false;
    int lastError_ = 0;
    std::string model_;
    platform::SerialSettings settings_;
};

} // namespace obex
