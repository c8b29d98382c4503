// Port names and the rates every backend accepts: pure functions shared by all backends.
#include <algorithm>
#include <array>
#include <cctype>

#include "platform/serial_device.h"

namespace platform {

namespace {
constexpr char kNetworkPrefix[] = "rfc2217://";
constexpr std::array<uint32_t, 13> kSupportedRates = {1200,  2400,   4800,   9600,   19200,  38400, 57600,
                                                      115200, 230400, 460800, 500000, 576000, 921600};
} // namespace

bool IsNetworkPortName(const std::string& name) { return name.rfind(kNetworkPrefix, 0) == 0; }

bool ParseNetworkPortName(const std::string& name, std::string* host, uint16_t* port) {
    if (!IsNetworkPortName(name)) {
        return false;
    }
    std::string rest = name.substr(sizeof(kNetworkPrefix) - 1);
    // Options after the address ("?ign_set_control" and the like) are not supported.
    std::size_t colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == rest.size()) {
        return false;
    }
    std::string hostPart = rest.substr(0, colon);
    std::string portPart = rest.substr(colon + 1);
    if (hostPart.front() == '[' && hostPart.back() == ']') {
        hostPart = hostPart.substr(1, hostPart.size() - 2);
    }
    if (hostPart.empty() || portPart.size() > 5 ||
        !std::all_of(portPart.begin(), portPart.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        return false;
    }
    unsigned long value = std::stoul(portPart);
    if (value == 0 || value > 65535) {
        return false;
    }
    *host = hostPart;
    *port = static_cast<uint16_t>(value);
    return true;
}

bool Win32DevicePath(const std::string& name, std::string* path) {
    constexpr char kDevicePrefix[] = "\\\\.\\";
    constexpr std::size_t kMaxPath = 259;
    std::string full = name.rfind(kDevicePrefix, 0) == 0 ? name : kDevicePrefix + name;
    if (name.empty() || full.size() == sizeof(kDevicePrefix) - 1 || full.size() > kMaxPath) {
        return false;
    }
    *path = full;
    return true;
}

bool IsSupportedBaudRate(uint32_t baudRate) {
    return std::find(kSupportedRates.begin(), kSupportedRates.end(), baudRate) != kSupportedRates.end();
}

namespace {
class RealSerialOpener : public SerialOpener {
public:
    std::unique_ptr<SerialDevice> Open(const std::string& name, int* error) override {
        return SerialDevice::Open(name, error);
    }
};
} // namespace

SerialOpener& DefaultSerialOpener() {
    static RealSerialOpener opener;
    return opener;
}

} // namespace platform
