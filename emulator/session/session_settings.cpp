#include "session/session_settings.h"

#include <cstdint>

#include "debuglink/udp_port.h"
#include "module/discovery.h"
#include "module/gsm0338.h"
#include "core/log.h"
#include "core/path_helpers.h"
#include "core/private_profile.h"
#include "session/program_texts.h"
#include "core/records.h"

namespace {

constexpr char IniSection[] = "Debug";

// The module name of one application file: its file name must contain the extension, and every
// character must exist in the module's character set.
bool ModuleFileName(const std::string& path, const char* extension, const char* missingMessage,
                    const char* conversionMessage, const char* selectedMessage,
                    std::string& moduleName) {
    const std::string fileName = FileNameOfPath(path);
    if (fileName.find(extension) == std::string::npos) {
        LogPrint(LogChannel::Err, missingMessage, path.c_str());
        return false;
    }
    if (!EncodeGsm0338(fileName, moduleName)) {
        LogPrint(LogChannel::Err, "%s", conversionMessage);
        return false;
    }
    // "@" is the zero byte of the module's alphabet, and the program start command carries the
    // name as a text that ends at its first zero byte: the module would be told to start a file
    // of another name than the one uploaded. Such a name is refused here, before any upload.
    if (moduleName.find('\0') != std::string::npos) {
        LogPrint(LogChannel::Err, "\nThe module cannot start a file whose name holds \"@\": \"%s\"\n",
                 fileName.c_str());
        LogPrint(LogChannel::Err, "%s", conversionMessage);
        return false;
    }
    LogPrint(LogChannel::Log, selectedMessage, moduleName.c_str());
    return true;
}

} // namespace

std::string ReadIniText(const std::string& key, const std::string& defaultValue) {
    return ReadProfileString(IniFilePath, IniSection, key, defaultValue);
}

std::string ServerPortOfAddress(const std::string& address) {
    const std::size_t colon = address.find(':');
    return colon == std::string::npos ? address : address.substr(colon + 1);
}

bool LoadSessionSettings() {
    if (!ReadPortSettings()) {
        return false;
    }
    SelectUdpPort();

    Settings.LocalIpAddress = ReadIniText("LocalIpAddress", "192.168.0.2");
    Settings.RemoteIpAddress = ReadIniText("RemoteIpAddress", "192.168.0.1");
    Settings.DebugPort = ReadIniText("DebugPort", "2000");
    Settings.InitAtCommand = ReadIniText("InitAtCommand", "ATE0") + "\r";

    if (Settings.DebugServerAddress.find(':') != std::string::npos) {
        Settings.DebugServerAddress = ServerPortOfAddress(Settings.DebugServerAddress);
        LogPrint(LogChannel::Log, "Server port is set without \"<computername>:\" to: %s\n",
                 Settings.DebugServerAddress.c_str());
    } else {
        LogPrint(LogChannel::Log, "Server port is: %s\n", Settings.DebugServerAddress.c_str());
    }

    if (!ModuleFileName(Application.JarPath, ".jar",
                        "\nNo IDE Jar filename included in given classpath \"%s\"\n",
                        "\nFailed to convert jar filename to GSM character set!\n",
                        "Selected IDE Jar filename: %s\n", Application.ModuleJarName)) {
        return false;
    }
    if (!ModuleFileName(Application.JadPath, ".jad",
                        "\nNo IDE Jad filename included in given xdescriptor \"%s\"\n",
                        "\nFailed to convert jad filename to GSM character set!\n",
                        "Selected IDE Jad filename: %s\n", Application.ModuleJadName)) {
        return false;
    }

    // Read as a signed 32-bit number and compared unsigned, so a negative value is out of range.
    Settings.AgentDelayMs =
        static_cast<uint32_t>(ReadProfileInt(IniFilePath, IniSection, "DebugAgentDelay", 0));
    LogPrint(LogChannel::Log, "Used Debug Agent delay timer with: \"%d ms\"\n",
             static_cast<int>(Settings.AgentDelayMs));
    if (Settings.AgentDelayMs > MaxAgentDelayMs) {
        LogPrint(LogChannel::Err, "\nDebug Agent delay timer is out of range (%s)!", "0, 120000");
        LogPrint(LogChannel::Err, "\nThe Debug Agent is started without any delay!");
        LogPrint(LogChannel::Err, "\nPlease change Debug Agent delay timer value in file \"%s\".\n\n", IniFileName);
        Settings.AgentDelayMs = 0;
    }
    return true;
}
