// How a connection reaches a real module: a serial device opened by name, the serial OBEX
// transport on it, and the operation layer, with the two named cancellation signals.
#include <memory>

#include "obex/cancel_events.h"
#include "obex/obex_com.h"
#include "obex/obex_serial_adapter.h"
#include "obex/physical_connection.h"
#include "platform/serial_device.h"

namespace obex {
namespace {

class SerialEnvironment : public ConnectionEnvironment {
public:
    SerialEnvironment() : disconnect_(kDisconnectEventName), cancelDiscover_(kCancelDiscoverEventName) {}
    platform::Clock& Clock() override { return platform::SystemClock(); }
    std::unique_ptr<IObex2> MakeOperations() override { return std::make_unique<OBEXCom>(&disconnect_); }

    HRESULT OpenPort(const std::string& portName) override {
        if (device_) return kOk;
        openError_ = 0;
        device_ = platform::DefaultSerialOpener().Open(portName, &openError_);
        if (!device_) {
            if (openError_ == 0) openError_ = -1;
            return PortOpenResult(openError_);
        }
        return kOk;
    }

    void ClosePort() override { device_.reset(); }

    std::unique_ptr<ITransportLayer> MakeTransport() override {
        return std::make_unique<CObexSerialAdapter>(device_.get(), device_ ? 0 : openError_, platform::SystemClock(),
                                                    &disconnect_, &cancelDiscover_);
    }

private:
    NamedCancelSignal disconnect_;
    NamedCancelSignal cancelDiscover_;
    std::unique_ptr<platform::SerialDevice> device_;
    int openError_ = 0;
};

} // namespace

std::unique_ptr<ConnectionEnvironment> MakeSerialEnvironment() { return std::make_unique<SerialEnvironment>(); }

} // namespace obex
