#include "debuglink/debug_agent.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "debuglink/java_tools.h"
#include "platform/files.h"
#include "core/log.h"
#include "core/records.h"

namespace {

std::string ToLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsEclipseImage(const std::string& imageName) {
    std::string name = ToLower(imageName);
    return name == "eclipse" || name == "eclipse.exe";
}

} // namespace

std::string BuildAgentClassPath(const std::string& toolkitRoot, const std::string& jarPath,
                                const std::vector<std::string>& libletNames,
                                const std::string& deployFolder, char separator) {
    const char slash = platform::PathSeparator();
    const std::string libFolder = toolkitRoot + slash + "lib" + slash;
    std::string classPath;
    for (const std::string& name : platform::ListFolder(libFolder, "*")) {
        std::error_code ec;
        if (std::filesystem::is_directory(libFolder + name, ec)) {
            continue;
        }
        classPath += libFolder + name + separator;
    }
    classPath += jarPath;
    for (const std::string& liblet : libletNames) {
        LogPrint(LogChannel::Log, "Include LIBlet %s from dependency entries of MIDlet-Jad!\n", liblet.c_str());
        classPath += separator + deployFolder + liblet + ".jar";
    }
    return classPath;
}

std::string BuildAgentCommandLine(const std::string& javaPath, const std::string& toolkitRoot,
                                  const std::string& debugServerAddress,
                                  const std::string& localIpAddress, const std::string& debugPort,
                                  const std::string& verboseOption, const std::string& classPath) {
    const std::string slash(1, platform::PathSeparator());
    return "\"" + javaPath + "\" -classpath \"" + toolkitRoot + slash + "bin" + slash +
           "zdp.jar\" zdp.ZetaDebugProxy -l " + debugServerAddress + " -p -r " + localIpAddress +
           " " + debugPort + verboseOption + " -cp \"" + classPath + "\"";
}

bool StartDebugAgent(DebugAgentProcess* agent) {
    agent->reset();
    if (Settings.DebugServerAddress.empty()) {
        return false;
    }
    LogPrint(LogChannel::Out, "Starting Debug Agent...\n");
    const std::string javaPath = FindJavaExe();
    if (!javaPath.empty()) {
        LogPrint(LogChannel::Log, "Java Path: \"%s\"\n", javaPath.c_str());
    }
    // The class path uses the platform's list separator: ";" on Windows, ":" on Linux, where the
    // JDK would read ";" as part of a file name.
    const std::string classPath =
        BuildAgentClassPath(Application.ToolkitRoot, Application.JarPath, Application.LibletNames,
                            Application.DeployFolder, platform::PathListSeparator());
    LogPrint(LogChannel::Log, "Used classpath: \"%s\"\n", classPath.c_str());
    // Without a JDK the command line stays empty and the start below fails.
    std::string commandLine;
    if (!javaPath.empty()) {
        commandLine = BuildAgentCommandLine(javaPath, Application.ToolkitRoot,
                                            Settings.DebugServerAddress, Settings.LocalIpAddress,
                                            Settings.DebugPort, Settings.VerboseOption, classPath);
    }
    LogPrint(LogChannel::Log, "Command for debug agent: %s\n", commandLine.c_str());
    if (commandLine.empty()) {
        return false;
    }
    platform::ProcessOptions options;
    options.arguments = platform::SplitCommandLine(commandLine);
    // The agent has a console of its own: visible (our output) with a verbose option, hidden
    // otherwise, and never reading the emulator's input.
    options.output = Settings.VerboseOption.empty() ? platform::ChildOutput::Discard
                                                    : platform::ChildOutput::Inherit;
    options.inheritInput = false;
    options.ownSession = true;
    int error = 0;
    *agent = platform::Process::Start(options, &error);
    return *agent != nullptr;
}

bool IsStartedFromEclipseIn(const std::vector<platform::ProcessInfo>& processes, int startId) {
    std::set<int> visited;
    int current = startId;
    while (current > 0 && visited.insert(current).second) {
        auto entry = std::find_if(processes.begin(), processes.end(),
                                  [current](const platform::ProcessInfo& p) { return p.id == current; });
        if (entry == processes.end()) {
            return false;
        }
        if (IsEclipseImage(entry->imageName)) {
            return true;
        }
        current = entry->parentId;
    }
    return false;
}

bool IsStartedFromEclipse() {
    return IsStartedFromEclipseIn(platform::ListProcesses(), platform::CurrentProcessId());
}
