#pragma once
// The debug agent: the toolkit's JDWP agent (zdp.ZetaDebugProxy in bin/zdp.jar) runs in a process
// of its own, serves the IDE's debugger on Settings.DebugServerAddress and connects to the
// module's VM at LocalIpAddress:DebugPort over the dial-up link.
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/process.h"

// The agent's process, owned by the driver from StartDebugAgent to the end of the session.
using DebugAgentProcess = std::unique_ptr<platform::Process>;

// The agent's class path: every file (not folder) of toolkitRoot/lib in listing order, each
// followed by the separator; then jarPath; then for each LIBlet the separator, deployFolder, the
// name and ".jar", with nothing else between them.
std::string BuildAgentClassPath(const std::string& toolkitRoot, const std::string& jarPath,
                                const std::vector<std::string>& libletNames,
                                const std::string& deployFolder, char separator);

// The agent's command line. verboseOption is empty or begins with its own blank.
std::string BuildAgentCommandLine(const std::string& javaPath, const std::string& toolkitRoot,
                                  const std::string& debugServerAddress,
                                  const std::string& localIpAddress, const std::string& debugPort,
                                  const std::string& verboseOption, const std::string& classPath);

// Starts the agent for the session in Application and Settings. True when its process was created;
// *agent then holds it. With no debug server address nothing is started.
bool StartDebugAgent(DebugAgentProcess* agent);

// True when this process or one of its ancestors runs an executable named eclipse (Linux) or
// eclipse.exe (Windows), in any letter case.
bool IsStartedFromEclipse();

// The same test over a given process table, starting at startId (for tests and for callers
// that already hold a snapshot).
bool IsStartedFromEclipseIn(const std::vector<platform::ProcessInfo>& processes, int startId);
