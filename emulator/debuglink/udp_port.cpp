// The UDP port for the module's System.out: the command line wins when its value is valid,
// otherwise the toolkit's INI file is asked.
#include "debuglink/udp_port.h"

#include "core/log.h"
#include "core/private_profile.h"
#include "core/records.h"

namespace {

constexpr long LowestPort = 1024;
constexpr long HighestPort = 65535;

} // namespace

bool IsValidUdpPortText(const std::string& text) {
    long number = 0;
    std::size_t digits = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        // Stop growing once out of range, so a long run of digits cannot overflow.
        if (number <= HighestPort) {
            number = number * 10 + (c - '0');
        }
        ++digits;
    }
    return digits > 0 && number >= LowestPort && number <= HighestPort;
}

void SelectUdpPort() {
    LogPrint(LogChannel::Log, "Reading UDP-port for displaying \"System.out.print(..)\" in IDE window...\n");

    const bool fromCommandLine = !Settings.UdpPortText.empty();
    if (fromCommandLine && !IsValidUdpPortText(Settings.UdpPortText)) {
        Settings.UdpPortText.clear();
    }
    if (!Settings.UdpPortText.empty()) {
        return;
    }

    std::string iniValue = ReadProfileString(IniFilePath, "Debug", "UDPport", "");
    if (iniValue.empty()) {
        return; // no relay, and nothing to say about it
    }
    LogPrint(LogChannel::Log, "Used UDP-port from ini file: %s\n", iniValue.c_str());

    if (IsValidUdpPortText(iniValue)) {
        if (fromCommandLine) {
            LogPrint(LogChannel::Out, "Overwritten wrong UDP-Port setting from command line with setting from ini file!\n");
        }
        Settings.UdpPortText = iniValue;
        return;
    }

    LogPrint(LogChannel::Err, "\nUDP-port for \"System.out\" is out of range (%s)!", "1024, 0xffff");
    LogPrint(LogChannel::Err, "%s", "\nTrace of MIDlet output inside IDE is not possible.");
    LogPrint(LogChannel::Err, "%s", "\nCorrect UDP-port in command line or ini file accordingly!\n");
    Settings.UdpPortText.clear();
}
