// modlink-linkd: holds the dial-up link of one entry. The emulator starts it in a session of its
// own; it opens the modem's port, dials, reports in the link record and keeps the link until it
// is asked to end (SIGTERM) or the link drops.
//
//   modlink-linkd --entry NAME --port PORT --number NUMBER --state FILE
//                 [--type direct|ppp] [--speed BPS] [--ppp-option OPTION]... [--pppd PROGRAM]
//
// MODLINK_PPPD names the pppd program when --pppd is not given.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "debuglink/link_holder.h"
#include "debuglink/ras_errors.h"
#include "platform/env.h"
#include "platform/process_control.h"
#include "platform/serial_device.h"

namespace {

// The modem port over the platform's serial device. Reads wait in short slices so an end
// request is seen quickly.
class SerialDialPort : public DialPort {
public:
    explicit SerialDialPort(std::unique_ptr<platform::SerialDevice> device)
        : device_(std::move(device)) {
        platform::SerialTimeouts timeouts;
        timeouts.readFirstByteMs = 50;
        timeouts.writeTotalMs = 5000;
        device_->SetTimeouts(timeouts);
    }

    bool Write(const std::string& bytes) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            long count = device_->Write(bytes.data() + done, bytes.size() - done);
            if (count <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(count);
        }
        return true;
    }

    long Read(char* buffer, std::size_t size, int timeoutMs) override {
        for (int waited = 0; waited < timeoutMs && !platform::EndRequested(); waited += 50) {
            long count = device_->Read(buffer, size);
            if (count != 0) {
                return count;
            }
        }
        return 0;
    }

    bool SetDtr(bool on) override {
        // A pty has no modem lines; hanging up then is closing the port.
        return device_->SetDtr(on);
    }

private:
    std::unique_ptr<platform::SerialDevice> device_;
};

void Usage(const char* problem) {
    std::fprintf(stderr, "modlink-linkd: %s\n", problem);
    std::fprintf(stderr,
                 "usage: modlink-linkd --entry NAME --port PORT --number NUMBER --state FILE "
                 "[--type direct|ppp] [--speed BPS] [--ppp-option OPTION]... [--pppd PROGRAM]\n");
}

} // namespace

int main(int argc, char** argv) {
    platform::WatchEndRequests();
    LinkHolderOptions options;
    if (auto pppd = platform::GetEnv("MODLINK_PPPD"); pppd && !pppd->empty()) {
        options.pppdProgram = *pppd;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) {
            Usage(("missing value for " + name).c_str());
            return 2;
        }
        const std::string value = argv[++i];
        if (name == "--entry") {
            options.entryName = value;
        } else if (name == "--port") {
            options.portName = value;
        } else if (name == "--number") {
            options.phoneNumber = value;
        } else if (name == "--state") {
            options.statePath = value;
        } else if (name == "--type") {
            if (value != "direct" && value != "ppp") {
                Usage("--type is direct or ppp");
                return 2;
            }
            options.linkType = value;
        } else if (name == "--speed") {
            options.speed = std::atoi(value.c_str());
        } else if (name == "--ppp-option") {
            options.pppOptions.push_back(value);
        } else if (name == "--pppd") {
            options.pppdProgram = value;
        } else {
            Usage(("unknown option " + name).c_str());
            return 2;
        }
    }
    if (options.entryName.empty() || options.portName.empty() || options.statePath.empty()) {
        Usage("--entry, --port and --state are required");
        return 2;
    }

    LinkState failed;
    failed.entryName = options.entryName;
    failed.holderId = platform::CurrentProcessId();
    failed.state = "failed";
    failed.error = RasError::PortNotAvailable;
    failed.portName = options.portName;
    failed.linkType = options.linkType;

    int error = 0;
    std::unique_ptr<platform::SerialDevice> device = platform::SerialDevice::Open(options.portName, &error);
    if (!device) {
        WriteLinkState(options.statePath, failed);
        return 1;
    }
    platform::SerialSettings settings;
    if (device->GetSettings(&settings) && options.speed > 0 &&
        platform::IsSupportedBaudRate(static_cast<uint32_t>(options.speed))) {
        settings.baudRate = static_cast<uint32_t>(options.speed);
    }
    settings.dtr = platform::SerialLineMode::On;
    settings.rts = platform::SerialLineMode::On;
    if (!device->SetSettings(settings)) {
        WriteLinkState(options.statePath, failed);
        return 1;
    }
    SerialDialPort port(std::move(device));
    return RunLinkHolder(options, port, platform::SystemClock(), platform::CurrentProcessId());
}
