#pragma once
// The OBEX transport over the module's serial port: baud search, the AT switch into the module's
// OBEX server mode, whole-packet framing by the length field, and the "+++" escape back.
#include <atomic>
#include <memory>
#include <string>

#include "obex/obex_types.h"
#include "obex/serial_port.h"
#include "platform/clock.h"
#include "platform/serial_device.h"

namespace obex {

class CObexSerialAdapter : public ITransportLayer {
public:
    // device: the connection's open port (not owned; null when it could not be opened, with
    // openError the OS error). The cancel signals may be null.
    CObexSerialAdapter(platform::SerialDevice* device, int openError, platform::Clock& clock,
                       ICancelSignal* disconnect, ICancelSignal* cancelDiscover);
    ~CObexSerialAdapter() override;

    HRESULT Open(const std::string& portName, uint32_t baudRate) override;
    HRESULT Close() override;
    HRESULT LeaveObexMode() override;
    HRESULT Transact(uint8_t* buffer, std::size_t* length, uint32_t timeoutMs, std::size_t capacity) override;
    HRESULT Model(std::string* text) override;
    HRESULT DriveCount(int* count) override;

    // The AT exchange of the OBEX set-up (3 attempts); the answer lands in *response.
    HRESULT ExchangeAt(const std::string& command, uint32_t timeoutMs, std::string* response);
    HRESULT BaudSearch();

private:
    int TryRate(bool wake, uint32_t baudRate);
    HRESULT WriteAll(const uint8_t* data, std::size_t length);
    bool Cancelled();

    platform::SerialDevice* device_;
    int openError_;
    platform::Clock& clock_;
    ICancelSignal* disconnect_;
    ICancelSignal* cancelDiscover_;
    std::unique_ptr<CSerialPort> port_;
    std::atomic<int> driveCount_{0}; // read by the facade thread too
};

// Maps a port-open error to the transfer's result: access denied (or a port in use) and the rest.
HRESULT PortOpenResult(int error);

} // namespace obex
