#pragma once
// The module's debug configuration as the classic at^kcfg commands left it: where the VM's
// debug port listens, where System.out goes and which program is debugged.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace modsim {

struct DebugConfig {
    bool debugProgram = false;  // userware/mode is "debug" with a program
    std::string localIp;        // the module's own address: the VM's JDWP port listens there
    std::string remoteIp;       // the PC's address: System.out datagrams go there
    std::string programPath;    // the program as the module names it ("a:/app.jar")
    uint16_t debugPort = 0;
    uint16_t stdoutUdpPort = 0; // 0: no System.out relay
};

// The comma-separated fields of an at^kcfg value, each without its quotes.
std::vector<std::string> SplitKcfgFields(const std::string& raw);

// Reads the configuration from the module's at^kcfg values (keys in lower case). The classic
// debug interface names the module's address first, then the PC's.
DebugConfig ReadDebugConfig(const std::map<std::string, std::string>& kcfg);

// The file in the flash for a module path: "a:/x.jar", "A:\x.jar" and "/sys/x.jar" all name
// x.jar on drive A (driveFolder).
std::string FlashPathOf(const std::string& modulePath, const std::string& driveFolder);

} // namespace modsim
