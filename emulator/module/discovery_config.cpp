// The POSIX stand-ins for the dial-up entries and modem devices: files in the configuration
// folder, written in the Windows formats so that the same names and values apply.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <unordered_set>

#include "module/discovery.h"
#include "platform/env.h"
#include "core/private_profile.h"

namespace {

const char PhoneBookName[] = "rasphone.pbk";
const char ModemListName[] = "modems.ini";

// A phone book path must fit the 261-character buffer of the entry list.
constexpr std::size_t PhoneBookPathLimit = 261;

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string LowerCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Bounded(const std::string& text, std::size_t capacity) {
    if (capacity == 0) {
        return std::string();
    }
    return text.size() < capacity ? text : text.substr(0, capacity - 1);
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// Every existing file of that name, in folder order.
std::vector<std::string> ConfigFiles(const std::string& name) {
    std::vector<std::string> files;
    for (const auto& folder : ConfigFolders()) {
        std::string path = (std::filesystem::path(folder) / name).string();
        if (IsFile(path)) {
            files.push_back(path);
        }
    }
    return files;
}

// The phone book and section of a dial-up entry, matched as the entry list would match it.
bool FindPhoneBookEntry(const std::string& entryName, bool exact, std::string& phoneBook,
                        std::string& section) {
    for (const auto& path : ConfigFiles(PhoneBookName)) {
        for (const auto& name : ReadProfileSectionNames(path)) {
            if (exact ? name == entryName : EqualsIgnoreCase(name, entryName)) {
                phoneBook = path;
                section = name;
                return true;
            }
        }
    }
    return false;
}

// The first modem of that friendly name; the search stops there whatever its values hold.
bool FindModem(const std::string& friendlyName, std::string& modemList, std::string& section) {
    for (const auto& path : ConfigFiles(ModemListName)) {
        for (const auto& name : ReadProfileSectionNames(path)) {
            if (EqualsIgnoreCase(name, friendlyName)) {
                modemList = path;
                section = name;
                return true;
            }
        }
    }
    return false;
}

} // namespace

std::vector<std::string> ConfigFolders() {
    auto explicitFolder = platform::GetEnv("MODLINK_CONFIG_DIR");
    if (explicitFolder && !explicitFolder->empty()) {
        return {*explicitFolder};
    }
    std::vector<std::string> folders;
    auto xdg = platform::GetEnv("XDG_CONFIG_HOME");
    auto home = platform::GetEnv("HOME");
    if (xdg && !xdg->empty()) {
        folders.push_back((std::filesystem::path(*xdg) / "modlink").string());
    } else if (home && !home->empty()) {
        folders.push_back((std::filesystem::path(*home) / ".config" / "modlink").string());
    }
    folders.push_back("/etc/modlink");
    return folders;
}

std::string FindConfigFile(const std::string& name) {
    auto files = ConfigFiles(name);
    return files.empty() ? std::string() : files.front();
}

bool ReadRasEntryProperties(const std::string& entryName, RasEntryProperties& properties) {
    std::string phoneBook;
    std::string section;
    if (entryName.empty() || !FindPhoneBookEntry(entryName, false, phoneBook, section)) {
        return false;
    }
    properties.deviceName = ReadProfileString(phoneBook, section, "Device", "");
    properties.phoneNumber = ReadProfileString(phoneBook, section, "PhoneNumber", "");
    properties.phoneBookPath = phoneBook;
    return true;
}

bool ReadRasEntryDeviceName(const std::string& entryName, std::string& deviceName, std::size_t capacity) {
    RasEntryProperties properties;
    if (!ReadRasEntryProperties(entryName, properties)) {
        return false;
    }
    deviceName = Bounded(properties.deviceName, capacity);
    return true;
}

bool ReadRasEntrySpeed(const std::string& entryName, int& speed) {
    std::string phoneBook;
    std::string section;
    if (!FindPhoneBookEntry(entryName, true, phoneBook, section) || phoneBook.size() >= PhoneBookPathLimit) {
        return false;
    }
    speed = ReadProfileInt(phoneBook, entryName, "ConnectBPS", -1);
    return speed != -1;
}

bool LoadSetupApi() { return true; }

std::vector<std::string> DeclaredUsbPorts() {
    std::vector<std::string> ports;
    std::unordered_set<std::string> seen;
    std::unordered_set<std::string> listed;
    for (const auto& path : ConfigFiles(ModemListName)) {
        // One reading per file: a list may hold thousands of modems.
        Profile modems;
        modems.Load(path);
        for (const auto& name : modems.SectionNames()) {
            if (!seen.insert(LowerCase(name)).second) {
                continue; // a later section of the same name is never the modem in use
            }
            if (!EqualsIgnoreCase(modems.String(name, "PortType", ""), "usb")) {
                continue;
            }
            // The port list is joined with commas, so a name holding one could never be matched whole.
            std::string port = modems.String(name, "AttachedTo", "");
            if (!port.empty() && port.find(',') == std::string::npos && listed.insert(port).second) {
                ports.push_back(port);
            }
        }
    }
    return ports;
}

bool FindModemPort(const std::string& friendlyName, std::string& portName, std::size_t capacity) {
    if (!LoadSetupApi()) {
        return false;
    }
    std::string modemList;
    std::string section;
    if (!FindModem(friendlyName, modemList, section)) {
        return false;
    }
    portName = Bounded(ReadProfileString(modemList, section, "AttachedTo", ""), capacity);
    return !portName.empty();
}

bool ReadModemMaxSpeed(const std::string& friendlyName, uint32_t& speed) {
    if (!LoadSetupApi()) {
        return false;
    }
    std::string modemList;
    std::string section;
    if (!FindModem(friendlyName, modemList, section)) {
        return false;
    }
    // The registry holds this as a number; in the text file a missing, empty or non-numeric
    // value counts as not read, so no session runs at a speed of 0.
    int value = ReadProfileInt(modemList, section, "MaximumPortSpeed", 0);
    speed = value > 0 ? static_cast<uint32_t>(value) : 0;
    return value > 0;
}
