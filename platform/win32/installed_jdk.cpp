// The JDK's installation key, read in the three registry views in turn.
#include <windows.h>

#include "platform/installed_jdk.h"

namespace platform {

namespace {

const char kJdkKey[] = "SOFTWARE\\Brightcoast\\Java Development Kit";

// A text value of at most 260 characters; empty when the key or value is missing, too long or
// no text.
std::string ReadText(const std::string& path, const char* name, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) !=
        ERROR_SUCCESS) {
        return std::string();
    }
    char buffer[262] = {};
    DWORD size = 261;
    DWORD type = 0;
    LONG result =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) {
        return std::string();
    }
    // The stored text may or may not end with its NUL; either way the buffer holds one after it.
    buffer[size < 261 ? size : 261] = '\0';
    return std::string(buffer);
}

} // namespace

std::string RegisteredJdkHome() {
    for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)}) {
        std::string version = ReadText(kJdkKey, "CurrentVersion", view);
        if (version.empty()) {
            continue;
        }
        std::string home = ReadText(std::string(kJdkKey) + "\\" + version, "JavaHome", view);
        if (!home.empty()) {
            return home;
        }
    }
    return std::string();
}

} // namespace platform
