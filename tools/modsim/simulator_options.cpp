// The simulator's command line.
#include <cstdlib>
#include <sstream>

#include "obex_fault.h"
#include "simulator.h"
#include "text_util.h"

namespace modsim {

namespace {

bool ParseNumber(const std::string& text, uint32_t* value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *value = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
    return true;
}

bool ParseFault(const std::string& spec, std::pair<std::string, InjectedFault>* fault) {
    std::size_t equals = spec.rfind('=');
    if (equals == std::string::npos || equals == 0) {
        return false;
    }
    std::string kind = ToLower(spec.substr(equals + 1));
    fault->first = spec.substr(0, equals);
    if (kind == "error") {
        fault->second.kind = InjectedFault::Error;
    } else if (kind == "silent") {
        fault->second.kind = InjectedFault::Silent;
    } else if (kind.rfind("cme:", 0) == 0) {
        uint32_t code = 0;
        if (!ParseNumber(kind.substr(4), &code)) {
            return false;
        }
        fault->second.kind = InjectedFault::CmeError;
        fault->second.cmeCode = static_cast<int>(code);
    } else {
        return false;
    }
    return true;
}

} // namespace

void Simulator::RegisterOption(const std::string& name, bool takesValue, const std::string& help) {
    extensionOptions_[name] = RegisteredOption{takesValue, help};
}

std::string Simulator::Usage() const {
    std::ostringstream out;
    out << "usage: modsim (--listen 127.0.0.1:PORT | --pty) [options]\n"
           "  --listen ADDR:PORT   serve an RFC 2217 port (PORT 0 picks a free one)\n"
           "  --pty                serve a pseudo-terminal (data only, no modem lines)\n"
           "  --flash DIR          the module's flash: drive A is DIR/A, B is DIR/B, ...\n"
           "  --transcript FILE    one line per AT command received\n"
           "  --ati TEXT           the identification line of the ATI answer (\"\" = no family marker)\n"
           "  --model TEXT         the AT+CGMM answer\n"
           "  --drives N           the drive count AT^KQWE=100 reports\n"
           "  --max-baud N         the highest rate the port accepts\n"
           "  --module-baud N      the module's fixed rate (0: it follows the port)\n"
           "  --off                switched off at start: CTS low until a DTR pulse\n"
           "  --power-on-ms N      time from the DTR pulse to CTS on\n"
           "  --no-sim             at+cpin? answers +CME ERROR: 10\n"
           "  --debug-mode-on      Userware/DebugMode is on at start\n"
           "  --usb                a USB port: it goes away while the module restarts\n"
           "  --restart-ms N       how long a restart takes\n"
           "  --no-echo            command echo off from the start\n"
           "  --pace               deliver bytes at the line rate (baud/10 bytes per second)\n"
           "  --fault PREFIX=KIND  answer commands beginning with PREFIX with KIND: error, cme:N, silent\n"
           "  --fault drop|silent|badlength\n"
           "                       a fault of the OBEX link at the request given by --fault-at\n"
           "  --fault-at N         the N-th OBEX request of the simulator's life (1 = the first)\n";
    for (const auto& [name, option] : extensionOptions_) {
        out << "  --" << name << (option.takesValue ? " VALUE" : "") << "  " << option.help << "\n";
    }
    return out.str();
}

bool Simulator::ParseArguments(const std::vector<std::string>& arguments, std::string* error) {
    bool haveListen = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= arguments.size()) {
                *error = "option " + arg + " needs a value";
                return false;
            }
            *out = arguments[++i];
            return true;
        };
        auto number = [&](uint32_t* out) {
            std::string text;
            if (!value(&text)) {
                return false;
            }
            if (!ParseNumber(text, out)) {
                *error = "option " + arg + " needs a number, not \"" + text + "\"";
                return false;
            }
            return true;
        };
        uint32_t n = 0;
        std::string text;
        if (arg == "--listen") {
            if (!value(&text)) {
                return false;
            }
            std::size_t colon = text.rfind(':');
            if (colon == std::string::npos || colon == 0 || !ParseNumber(text.substr(colon + 1), &n) || n > 65535) {
                *error = "--listen needs ADDRESS:PORT, not \"" + text + "\"";
                return false;
            }
            options_.listenAddress = text.substr(0, colon);
            options_.listenPort = static_cast<uint16_t>(n);
            haveListen = true;
        } else if (arg == "--pty") {
            options_.usePty = true;
        } else if (arg == "--flash") {
            if (!value(&options_.flashDir)) {
                return false;
            }
        } else if (arg == "--transcript") {
            if (!value(&options_.transcriptPath)) {
                return false;
            }
        } else if (arg == "--ati") {
            if (!value(&options_.atiAnswer)) {
                return false;
            }
        } else if (arg == "--model") {
            if (!value(&options_.model)) {
                return false;
            }
        } else if (arg == "--drives") {
            if (!number(&n)) {
                return false;
            }
            options_.driveCount = static_cast<int>(n);
        } else if (arg == "--max-baud") {
            if (!number(&options_.maxBaud)) {
                return false;
            }
        } else if (arg == "--module-baud") {
            if (!number(&options_.moduleBaud)) {
                return false;
            }
        } else if (arg == "--off") {
            options_.switchedOff = true;
        } else if (arg == "--power-on-ms") {
            if (!number(&options_.powerOnMs)) {
                return false;
            }
        } else if (arg == "--no-sim") {
            options_.simReady = false;
        } else if (arg == "--debug-mode-on") {
            options_.debugModeOn = true;
        } else if (arg == "--usb") {
            options_.usbPort = true;
        } else if (arg == "--restart-ms") {
            if (!number(&options_.restartMs)) {
                return false;
            }
        } else if (arg == "--no-echo") {
            options_.echo = false;
        } else if (arg == "--pace") {
            options_.pace = true;
        } else if (arg == "--fault") {
            std::pair<std::string, InjectedFault> fault;
            ObexFaultKind linkFault;
            if (!value(&text)) {
                return false;
            }
            if (ParseObexFaultKind(text, &linkFault)) {
                options_.obexFault = ToLower(text);
            } else if (ParseFault(text, &fault)) {
                options_.faults.push_back(fault);
            } else {
                *error = "--fault needs PREFIX=error|cme:N|silent or drop|silent|badlength, not \"" + text + "\"";
                return false;
            }
        } else if (arg == "--fault-at") {
            if (!number(&options_.obexFaultAt)) {
                return false;
            }
        } else if (arg.rfind("--", 0) == 0 && extensionOptions_.count(arg.substr(2)) != 0) {
            std::string name = arg.substr(2);
            if (extensionOptions_[name].takesValue) {
                if (!value(&options_.extensionValues[name])) {
                    return false;
                }
            } else {
                options_.extensionValues[name] = "1";
            }
        } else {
            *error = "unknown option \"" + arg + "\"";
            return false;
        }
    }
    if (options_.obexFault.empty() != (options_.obexFaultAt == 0)) {
        *error = "--fault drop|silent|badlength and --fault-at N (N from 1) go together";
        return false;
    }
    if (haveListen == options_.usePty) {
        *error = "give exactly one of --listen ADDRESS:PORT and --pty";
        return false;
    }
    return true;
}

} // namespace modsim
