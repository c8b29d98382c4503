// Program start, the two debug configuration dialects and the module reset.
#include "module/module_control.h"

#include <cstdio>
#include <string>

#include "module/at_channel.h"
#include "module/discovery.h"
#include "module/module_io.h"
#include "core/log.h"
#include "core/records.h"

namespace {

constexpr int AtTimeoutMs = 2500;
constexpr int LongAtTimeoutMs = 5000;
constexpr uint32_t UsbCloseWaitMs = 1000;
constexpr uint32_t UsbReopenLimitMs = 10000;
constexpr uint32_t RestartWaitMs = 5000;
constexpr uint32_t ResetPauseMs = 500;

// Texts built from configuration values: formatted with the values as arguments, never as formats.
std::string Format(const char* format, const std::string& a, const std::string& b = std::string(),
                   const std::string& c = std::string()) {
    int length = std::snprintf(nullptr, 0, format, a.c_str(), b.c_str(), c.c_str());
    std::string text(static_cast<std::size_t>(length < 0 ? 0 : length) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, a.c_str(), b.c_str(), c.c_str());
    text.pop_back();
    return text;
}

ComPortHandle OpenSessionPort() {
    ComPortHandle port = OpenComPort(Settings.ComPortName, static_cast<uint32_t>(Settings.ComBaudRate));
    if (!port) {
        LogPrint(LogChannel::Log, "Failed to open port with error %d.\n", LastComPortError());
    }
    return port;
}

// The common start of an operation: open the port, print the heading, send the init command.
ComPortHandle OpenAndInitialize(const char* heading) {
    ComPortHandle port = OpenSessionPort();
    if (!port) {
        return nullptr;
    }
    LogPrint(LogChannel::Out, "%s", heading);
    if (!ExchangeAt(port.get(), Settings.InitAtCommand, AtTimeoutMs, nullptr)) {
        CloseComPort(port);
        return nullptr;
    }
    return port;
}

} // namespace

bool StartModuleProgram() {
    ComPortHandle port = OpenAndInitialize("Starting Java program inside the module...\n\n");
    if (!port) {
        return false;
    }
    const std::string& program = Settings.NewModuleFamily ? Application.ModuleJadName : Application.ModuleJarName;
    bool started = ExchangeAt(port.get(), Format("at^kjra=%s%s\r", Settings.ModuleFolder, program), LongAtTimeoutMs,
                              nullptr);
    CloseComPort(port);
    return started;
}

bool InitModuleDebugClassic() {
    ComPortHandle port = OpenAndInitialize("Initializing module for debugging...\n");
    if (!port) {
        return false;
    }
    if (!ExchangeAt(port.get(), "at+cpin?\r", AtTimeoutMs, "+CPIN: READY")) {
        LogPrint(LogChannel::Err, "\nPlease insert a SIM and disable PIN lock.\n");
        return false;
    }
    if (!ExchangeAt(port.get(),
                    Format("at^kcfg=userware/debuginterface,\"%s\",\"%s\",\"0\"\r", Settings.LocalIpAddress,
                           Settings.RemoteIpAddress),
                    AtTimeoutMs, nullptr)) {
        return false;
    }
    if (!ExchangeAt(port.get(),
                    Format("at^kcfg=userware/mode,\"debug\",\"%s%s\",\"%s\"\r", Settings.ModuleFolder,
                           Application.ModuleJarName, Settings.DebugPort),
                    AtTimeoutMs, nullptr)) {
        return false;
    }
    if (Settings.UdpPortText.empty()) {
        return true;
    }
    return ExchangeAt(port.get(), Format("at^kcfg=userware/stdout,UDP,%s\r", Settings.UdpPortText), AtTimeoutMs,
                      nullptr);
}

bool InitModuleDebugNew() {
    platform::Clock& clock = ModuleClock();
    ComPortHandle port = OpenAndInitialize("Initializing module for debugging...\n");
    if (!port) {
        return false;
    }
    if (!ExchangeAt(port.get(), "at^kcfg=\"Userware/DebugMode\"\r", AtTimeoutMs, "\"on\"")) {
        LogPrint(LogChannel::Out, "Enabling debug mode...\n");
        bool usb = IsUsbComPort(Settings.ComPortName);
        if (!ExchangeAt(port.get(), "at^kcfg=\"Userware/DebugMode\",\"on\"\r", AtTimeoutMs, nullptr)) {
            CloseComPort(port);
        }
        LogPrint(LogChannel::Out, "Waiting for module reset...\n");
        // Switching debug mode on restarts the module; a USB port goes away meanwhile.
        CloseComPort(port);
        if (usb) {
            clock.Sleep(UsbCloseWaitMs);
            uint32_t firstTry = clock.TickCount();
            for (;;) {
                port = OpenComPort(Settings.ComPortName, static_cast<uint32_t>(Settings.ComBaudRate));
                if (port) {
                    break;
                }
                if (clock.TickCount() - firstTry > UsbReopenLimitMs) {
                    LogPrint(LogChannel::Err, "\nUSB debug port couldn't be reopned after module reset.\n");
                    return false;
                }
            }
            CloseComPort(port);
        }
        clock.Sleep(RestartWaitMs);
        port = OpenComPort(Settings.ComPortName, static_cast<uint32_t>(Settings.ComBaudRate));
    }
    bool configured = ExchangeAt(port.get(),
                                 Format("at^kcfg=\"Userware/DebugInterface\",\"%s\",\"%s\",\"0\"\r",
                                        Settings.RemoteIpAddress, Settings.LocalIpAddress),
                                 AtTimeoutMs, nullptr);
    CloseComPort(port);
    return configured;
}

void ResetModule() {
    ComPortHandle port = OpenSessionPort();
    if (!port) {
        return;
    }
    LogPrint(LogChannel::Out, "Resetting module...\n");
    ModuleClock().Sleep(ResetPauseMs);
    ExchangeAt(port.get(), "at+cfun=1,1\r", LongAtTimeoutMs, nullptr);
    CloseComPort(port);
}
