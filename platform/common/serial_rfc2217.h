#pragma once
// The network serial port backend (RFC 2217 over TCP), written against the portable TCP service.
#include <memory>
#include <string>

#include "platform/serial_device.h"

namespace platform {

std::unique_ptr<SerialDevice> OpenNetworkSerialDevice(const std::string& name, int* error);

} // namespace platform
