#pragma once
// The two process-wide records of an emulator session and the module identity. One instance
// each; every step of the session reads and fills the fields it needs by name.
#include <cstdint>
#include <string>
#include <vector>

// The debug link's connection; its contents belong to the dial-up link code.
struct RasConnectionState;
using RasConnectionHandle = RasConnectionState*;

struct ApplicationRecord {
    std::string JadPath;       // JAD file given by -Xdescriptor:, separators made native
    std::string ToolkitRoot;   // toolkit root folder, no trailing separator
    std::string JarPath;       // folder of the JAD + MIDlet-Jar-URL, or the -classpath value
    std::string ModuleJarName; // file name of JarPath in GSM 03.38: its name in the module
    std::string ModuleJadName; // the same for JadPath
    std::string DeployFolder;  // where LIBlet files are looked up
    std::vector<std::string> LibletNames; // LIBlet base names, in Dependency-<n> order
};

struct SessionSettings {
    // A port is a device path or an rfc2217:// URL on Linux, so the name is kept whole
    // (up to 259 characters) and never shortened or upper-cased.
    std::string ComPortName;
    int DebugMode = 0;
    int NoLoad = 0;
    uint32_t AgentDelayMs = 0;
    int ComBaudRate = 0;
    RasConnectionHandle RasConnection = nullptr;
    int NewModuleFamily = 0;
    std::string DebugServerAddress;
    std::string VerboseOption;
    std::string UdpPortText;
    std::string DebugPort;
    std::string LocalIpAddress;
    std::string RemoteIpAddress;
    std::string InitAtCommand; // with a carriage return appended
    std::string ModuleFolder;  // "a:/" or "/sys/"
    std::string ExternalEmulatorPath;
};

extern ApplicationRecord Application;
extern SessionSettings Settings;
extern std::string IniFilePath;

// Module identity, set once per process.
extern std::string RasEntryName;
extern std::string ModuleFamily;
extern std::string VersionName;
extern std::string QueryDeviceName;
extern std::string DeviceDescription;
extern int SelectedDevice;
