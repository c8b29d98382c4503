// Switching the module on, agreeing the baud rate and identifying the module family.
#include "module/module_port.h"

#include <array>
#include <cstdio>

#include "module/discovery.h"
#include "module/module_io.h"
#include "core/log.h"
#include "core/records.h"

namespace {

constexpr uint32_t DtrLowMs = 400;
constexpr uint32_t CtsSettleMs = 500;
constexpr uint32_t CtsPollMs = 10;
constexpr uint32_t CtsWaitMs = 8000;
constexpr uint32_t AfterSwitchOnMs = 1000;
constexpr int AtTimeoutMs = 2500;
constexpr uint32_t SwitchOnRate = 9600;

// Later entries equal to the target rate are skipped, so the target is tried once.
constexpr std::array<uint32_t, 8> SearchRatesAfterTarget = {115200, 230400, 57600, 460800,
                                                            921600, 9600,   19200, 38400};

// Searched in this order in the ATI answer; any of them marks a newer module family.
constexpr std::array<const char*, 5> FamilyMarkers = {"QRE", "QRD", "QRC", "QRB", "QRA5"};

bool ReadCts(platform::SerialDevice& port) {
    platform::SerialModemStatus status;
    return port.GetModemStatus(&status) && status.cts;
}

} // namespace

bool SwitchOnModule(ComPortHandle handle) {
    if (!handle) {
        LogPrint(LogChannel::Err, "\nFailed to switch on module!\n");
        return false;
    }
    platform::Clock& clock = ModuleClock();
    platform::SerialModemStatus status;
    // A modem status that cannot be read counts as CTS off, and no pulse is tried.
    bool statusRead = handle->GetModemStatus(&status);
    bool cts = statusRead && status.cts;
    bool pulsed = false;
    if (cts) {
        handle->SetDtr(true);
    } else if (statusRead) {
        LogPrint(LogChannel::Out, "Switching on module...\n");
        if (handle->SetDtr(false)) {
            clock.Sleep(DtrLowMs);
            if (handle->SetDtr(true)) {
                pulsed = true;
                uint32_t raised = clock.TickCount();
                clock.Sleep(CtsSettleMs);
                for (;;) {
                    cts = ReadCts(*handle);
                    if (cts || clock.TickCount() - raised >= CtsWaitMs) {
                        break;
                    }
                    clock.Sleep(CtsPollMs);
                }
            }
        }
    }
    if (cts) {
        if (pulsed) {
            clock.Sleep(AfterSwitchOnMs);
        }
        CloseComPort(handle);
        return true;
    }
    handle->SetDtr(false);
    LogPrint(LogChannel::Err, "\nFailed to switch on module!\n");
    CloseComPort(handle);
    return false;
}

bool ConnectModule(const std::string& portName, uint32_t targetRate, uint32_t* agreedRate) {
    uint32_t maxRate = 0;
    if (!ProbeMaxBaudRate(portName, &maxRate)) {
        LogPrint(LogChannel::Err, "Failed to access COM port!\n");
        return false;
    }
    LogPrint(LogChannel::Out, "Connecting to module...\n");
    if (maxRate < targetRate) {
        targetRate = maxRate;
    }
    char command[32];
    std::snprintf(command, sizeof(command), "AT+IPR=%u\r", targetRate);

    ComPortHandle port;
    for (std::size_t entry = 0; entry <= SearchRatesAfterTarget.size() && !port; ++entry) {
        uint32_t rate = entry == 0 ? targetRate : SearchRatesAfterTarget[entry - 1];
        if ((entry != 0 && rate == targetRate) || rate > maxRate) {
            continue;
        }
        LogPrint(LogChannel::Log, "Trying baudrate %d...\n", static_cast<int>(rate));
        ComPortHandle trial = OpenComPort(portName, rate);
        if (!trial) {
            LogPrint(LogChannel::Err, "\nFailed to access COM port!\n");
            return false;
        }
        if (ExchangeAt(trial.get(), command, AtTimeoutMs, nullptr)) {
            port = std::move(trial);
        } else {
            CloseComPort(trial);
        }
    }
    if (!port) {
        LogPrint(LogChannel::Err, "\nFailed to set baud rate!");
        LogPrint(LogChannel::Err, "\nCommunication problems to the module, check COM port and connections!\n");
        return false;
    }
    for (const char* marker : FamilyMarkers) {
        if (ExchangeAt(port.get(), "ATI\r", AtTimeoutMs, marker)) {
            Settings.ModuleFolder = "/sys/";
            Settings.NewModuleFamily = 1;
            break;
        }
    }
    CloseComPort(port);
    if (agreedRate != nullptr) {
        *agreedRate = targetRate;
    }
    return true;
}

bool PrepareModulePort() {
    if (IsUsbComPort(Settings.ComPortName)) {
        LogPrint(LogChannel::Out, "Using USB port %s.\n\n", Settings.ComPortName.c_str());
    } else {
        LogPrint(LogChannel::Out, "Using port %s with %d Baud.\n\n", Settings.ComPortName.c_str(),
                 Settings.ComBaudRate);
    }
    ComPortHandle port = OpenComPort(Settings.ComPortName, SwitchOnRate);
    if (!port) {
        LogPrint(LogChannel::Err, "\nFailed to access COM port!\n");
        return false;
    }
    if (!SwitchOnModule(std::move(port))) {
        return false;
    }
    uint32_t agreed = 0;
    if (!ConnectModule(Settings.ComPortName, static_cast<uint32_t>(Settings.ComBaudRate), &agreed)) {
        return false;
    }
    // The module was told to use the lower rate; a port that refuses the session's rate could
    // never be opened at it again.
    if (agreed != 0 && agreed < static_cast<uint32_t>(Settings.ComBaudRate)) {
        Settings.ComBaudRate = static_cast<int>(agreed);
    }
    return true;
}
