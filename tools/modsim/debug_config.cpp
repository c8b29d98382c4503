#include "debug_config.h"

#include <cstdlib>

#include "text_util.h"

namespace modsim {

namespace {

uint16_t PortOf(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    return (value > 0 && value <= 65535) ? static_cast<uint16_t>(value) : 0;
}

std::string Field(const std::vector<std::string>& fields, std::size_t index) {
    return index < fields.size() ? fields[index] : std::string();
}

} // namespace

std::vector<std::string> SplitKcfgFields(const std::string& raw) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (char c : raw) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    for (std::string& f : fields) {
        while (!f.empty() && f.front() == ' ') {
            f.erase(0, 1);
        }
        while (!f.empty() && f.back() == ' ') {
            f.pop_back();
        }
    }
    return fields;
}

DebugConfig ReadDebugConfig(const std::map<std::string, std::string>& kcfg) {
    DebugConfig config;
    if (auto found = kcfg.find("userware/debuginterface"); found != kcfg.end()) {
        std::vector<std::string> fields = SplitKcfgFields(found->second);
        config.localIp = Field(fields, 0);
        config.remoteIp = Field(fields, 1);
    }
    if (auto found = kcfg.find("userware/mode"); found != kcfg.end()) {
        std::vector<std::string> fields = SplitKcfgFields(found->second);
        config.programPath = Field(fields, 1);
        config.debugPort = PortOf(Field(fields, 2));
        config.debugProgram = EqualsIgnoreCase(Field(fields, 0), "debug") &&
                              !config.programPath.empty() && config.debugPort != 0;
    }
    if (auto found = kcfg.find("userware/stdout"); found != kcfg.end()) {
        std::vector<std::string> fields = SplitKcfgFields(found->second);
        if (EqualsIgnoreCase(Field(fields, 0), "UDP")) {
            config.stdoutUdpPort = PortOf(Field(fields, 1));
        }
    }
    return config;
}

std::string FlashPathOf(const std::string& modulePath, const std::string& driveFolder) {
    std::string name = modulePath;
    if (name.size() >= 3 && name[1] == ':' && (name[2] == '/' || name[2] == '\\')) {
        name = name.substr(3);
    } else if (StartsWithIgnoreCase(name, "/sys/")) {
        name = name.substr(5);
    }
    for (char& c : name) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (name.empty() || name.find("..") != std::string::npos) {
        return std::string();
    }
    return driveFolder + "/" + name;
}

} // namespace modsim
