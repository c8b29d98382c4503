#include "session/command_line.h"

#include <cstdlib>
#include <cstring>

#include "session/cleanup.h"
#include "session/descriptor.h"
#include "session/log.h"
#include "session/path_helpers.h"
#include "session/program_texts.h"
#include "session/query_output.h"
#include "session/records.h"

namespace {

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return StartsWith(text.c_str(), prefix);
}

void ParseRunJdwp(const char* argument) {
    const RunJdwpOptions options = ParseRunJdwpItems(argument + std::strlen("-Xrunjdwp:"));
    if (options.failureCode == 817) {
        LogPrint(false, true, nullptr, "\nMissing port for address option!\n");
        CleanUp(false, 817);
    }
    if (options.failureCode != 0) {
        LogPrint(false, true, nullptr, "\n-Xrunjdwp: Unsupported or unknown parameter\n");
        CleanUp(false, options.failureCode);
    }
    if (options.hasAddress) {
        Settings.DebugServerAddress = options.address;
    }
}

// Returns the index to continue at: the same index when the option has no "-v" (then the
// argument counts as invalid), otherwise the next one.
int ParseVerbose(int argc, char** argv, int index) {
    const char* text = argv[index] + std::strlen("-Xverbose:");
    if (std::strstr(text, "-v") == nullptr) {
        LogPrint(true, false, nullptr,
                 "The feature \"-Xverbose:\" is only implemented for verbose options of the Debug "
                 "Agent!\n\n");
        return index;
    }
    const char* level = index + 1 < argc ? argv[index + 1] : nullptr;
    Settings.VerboseOption = VerboseOptionOf(text, level);
    if (!Settings.VerboseOption.empty()) {
        LogPrint(true, false, nullptr, "Xverbose option for DebugAgent is set to \"%s\"\n\n",
                 Settings.VerboseOption.c_str());
    } else {
        LogPrint(true, false, nullptr, "No Xverbose option for DebugAgent is set!\n");
        LogPrint(true, false, nullptr, "The option \"-v %s\" is not allowed.\n\n",
                 level != nullptr ? level : "");
    }
    return index + 1;
}

void ParseDescriptor(const char* argument) {
    Application.JadPath = NativePath(argument + std::strlen("-Xdescriptor:"));
    if (!ReadDescriptor(Application.JadPath)) {
        LogPrint(false, true, nullptr, "\n-Xdescriptor: Invalid application descriptor file\n");
        CleanUp(false, 873);
    }
    LogPrint(false, false, nullptr, "Used MIDlet-Classpath (pszcommandLineClassPath): %s\n",
             Application.JarPath.c_str());
}

void ParseDevice(const char* argument) {
    const char* name = argument + std::strlen("-Xdevice:");
    // The one device matches when the text begins with its name.
    if (std::strncmp(name, QueryDeviceName.c_str(), QueryDeviceName.size()) == 0) {
        SelectedDevice = 0;
    }
    if (SelectedDevice < 0) {
        LogPrint(false, true, nullptr, "\n-Xdevice: Unknown device\n");
        CleanUp(false, 890);
    }
    LogPrint(false, false, nullptr,
             "The used default device for emulator is found and allowed: \"%s\"\n", name);
}

} // namespace

RunJdwpOptions ParseRunJdwpItems(const std::string& items) {
    RunJdwpOptions result;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = items.find(',', start);
        const std::string item =
            items.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (StartsWith(item, "suspend=y")) {
            LogPrint(false, false, nullptr, "Ignore option \"suspend=y\"!\n");
        } else if (StartsWith(item, "suspend=n")) {
            LogPrint(false, false, nullptr, "Ignore option \"suspend=n\"!\n");
        } else if (StartsWith(item, "server=n")) {
            LogPrint(false, false, nullptr, "Ignore option \"server=n\"!\n");
        } else if (StartsWith(item, "server=y") || StartsWith(item, "transport=dt_socket")) {
            // Accepted as they are the only way this emulator works.
        } else if (StartsWith(item, "address=")) {
            std::string value = item.substr(std::strlen("address="));
            if (value.empty()) {
                result.failureCode = 817;
                return result;
            }
            result.address = value;
            result.hasAddress = true;
        } else {
            result.failureCode = 834;
            return result;
        }
        if (comma == std::string::npos) {
            return result;
        }
        start = comma + 1;
    }
}

std::string VerboseOptionOf(const std::string& text, const char* level) {
    if (level == nullptr) {
        return std::string();
    }
    const int number = std::atoi(level);
    if (number < 1 || number > 9) {
        return std::string();
    }
    return " " + text + " " + level;
}

int ParseExtendedOption(int argc, char** argv, int index) {
    const char* argument = argv[index];
    if (StartsWith(argument, "-D")) {
        LogPrint(true, false, nullptr,
                 "The feature \"-D\" is not supported! Ignoring this parameter!\n\n");
        return index + 1;
    }
    if (std::strcmp(argument, "-Xdebug") == 0) {
        Settings.DebugMode = 1;
        return index + 1;
    }
    if (StartsWith(argument, "-Xrunjdwp:")) {
        ParseRunJdwp(argument);
        return index + 1;
    }
    if (StartsWith(argument, "-Xverbose:")) {
        return ParseVerbose(argc, argv, index);
    }
    if (StartsWith(argument, "-Xheapsize:")) {
        LogPrint(true, false, nullptr,
                 "The option \"-Xheapsize\" is not supported! Ignoring this parameter!\n\n");
        return index + 1;
    }
    if (StartsWith(argument, "-Xdescriptor:")) {
        ParseDescriptor(argument);
        return index + 1;
    }
    if (StartsWith(argument, "-Xdevice:")) {
        ParseDevice(argument);
        return index + 1;
    }
    if (StartsWith(argument, "-Xquery")) {
        PrintQuery();
        CleanUp(false, 0);
    }
    return index;
}

void ParseCommandLine(int argc, char** argv) {
    int index = 1;
    while (index < argc) {
        const char* argument = argv[index];
        if (std::strcmp(argument, "-help") == 0) {
            PrintUsage(argv[0]);
            CleanUp(false, 0);
        } else if (std::strcmp(argument, "-emulog") == 0) {
            // Logging was switched on before the command line was read.
        } else if (std::strcmp(argument, "-noload") == 0) {
            LogPrint(false, false, nullptr, "==== argument: -noload\n");
            Settings.NoLoad = 1;
            LogPrint(false, false, nullptr,
                     "The included Jar and Jad files are set to no download and will not be "
                     "downloaded for the debugging session.");
        } else if (std::strcmp(argument, "-version") == 0) {
            PrintVersion();
            CleanUp(false, 0);
        } else if (std::strcmp(argument, "-classpath") == 0) {
            LogPrint(false, false, nullptr, "==== argument: -classpath\n");
            if (index + 1 >= argc) {
                LogPrint(false, true, nullptr, "\nMissing classpath for classpath option\n");
                CleanUp(false, 938);
            }
            ++index;
            Application.JarPath = NativePath(argv[index]);
        } else if (StartsWith(argument, "-udpport:")) {
            Settings.UdpPortText = argument + std::strlen("-udpport:");
            LogPrint(false, false, nullptr, "Used UDP-port from command line: %s\n",
                     Settings.UdpPortText.c_str());
        } else if (argument[0] == '-') {
            const int next = ParseExtendedOption(argc, argv, index);
            if (next == index) {
                LogPrint(false, true, nullptr, "\nWarning, invalid argument: \"%s\"\n\n", argument);
                PrintUsage(argv[0]);
                CleanUp(false, 0);
            }
            index = next;
            continue;
        }
        ++index;
    }
}
