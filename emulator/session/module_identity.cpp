#include "session/module_identity.h"

#include <cstdio>
#include <string>

#include "module/discovery.h"
#include "module/system_records.h"
#include "core/log.h"
#include "session/program_texts.h"
#include "core/records.h"

const RasCandidate RasCandidates[4] = {
    {"IP connection for remote debugging of QREx", "QREx"},
    {"IP connection for remote debugging of QRDx", "QRDx"},
    {"IP connection for remote debugging of QRCx", "QRCx"},
    {"IP connection for remote debugging of QRBx", "QRBx"},
};

namespace {

// The entry's device name is read into a buffer of this size.
constexpr std::size_t DeviceNameCapacity = 100;

std::string Replaced(std::string text, char from, char to) {
    for (char& c : text) {
        if (c == from) {
            c = to;
        }
    }
    return text;
}

std::string Formatted(const char* format, const char* a, const char* b) {
    int length = std::snprintf(nullptr, 0, format, a, b);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, format, a, b);
    return text;
}

} // namespace

bool SelectRasEntry() {
    const bool system = UseSystemRecords();
    for (const RasCandidate& candidate : RasCandidates) {
        std::string deviceName;
        if (system ? SystemRasEntryDeviceName(candidate.entryName, deviceName, DeviceNameCapacity)
                   : ReadRasEntryDeviceName(candidate.entryName, deviceName, DeviceNameCapacity)) {
            RasEntryName = candidate.entryName;
            ModuleFamily = candidate.family;
            return true;
        }
    }
    return false;
}

bool SetModuleIdentity() {
    if (ModuleFamily.empty()) {
        LogPrint(LogChannel::Log, "No entry for \"module type\" found!\n");
    } else {
        LogPrint(LogChannel::Log, "Used module: %s\n", ModuleFamily.c_str());
        const char* family = ModuleFamily.c_str();
        VersionName =
            Replaced(Formatted("IMP-NG %s Module Workbench by %s", family, CompanyName), '_', ' ');
        DeviceDescription = Replaced(Formatted("%s IMP-NG %s Module", CompanyName, family), '_', ' ');
        QueryDeviceName = Replaced("IMP_NG_" + ModuleFamily, ' ', '_');
    }
    LogPrint(LogChannel::Log, "Set \"-version\" response to: \"%s\"\n", VersionName.c_str());
    LogPrint(LogChannel::Log, "Set \"-Xquery\" response to: \"%s\"\n", QueryDeviceName.c_str());
    LogPrint(LogChannel::Log, "Set \"-Xdevice\" response to: \"%s\"\n",
             DeviceDescription.c_str());
    return true;
}
