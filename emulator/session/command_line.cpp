#include "session/command_line.h"
#include "core/exit_codes.h"

#include <cstdlib>
#include <cstring>

#include "session/cleanup.h"
#include "session/descriptor.h"
#include "core/log.h"
#include "core/path_helpers.h"
#include "session/program_texts.h"
#include "session/query_output.h"
#include "core/records.h"

namespace {

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return StartsWith(text.c_str(), prefix);
}

void ParseRunJdwp(const char* argument) {
    const RunJdwpOptions options = ParseRunJdwpItems(argument + std::strlen("-Xrunjdwp:"));
    if (options.failureCode == ExitCode::AddressWithoutValue) {
        LogPrint(LogChannel::Err, "\nMissing port for address option!\n");
        CleanUp(false, ExitCode::AddressWithoutValue);
    }
    if (options.failureCode != ExitCode::Success) {
        LogPrint(LogChannel::Err, "\n-Xrunjdwp: Unsupported or unknown parameter\n");
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
        LogPrint(LogChannel::Out, "The feature \"-Xverbose:\" is only implemented for verbose options of the Debug "
                 "Agent!\n\n");
        return index;
    }
    const char* level = index + 1 < argc ? argv[index + 1] : nullptr;
    Settings.VerboseOption = VerboseOptionOf(text, level);
    if (!Settings.VerboseOption.empty()) {
        LogPrint(LogChannel::Out, "Xverbose option for DebugAgent is set to \"%s\"\n\n",
                 Settings.VerboseOption.c_str());
    } else {
        LogPrint(LogChannel::Out, "No Xverbose option for DebugAgent is set!\n");
        LogPrint(LogChannel::Out, "The option \"-v %s\" is not allowed.\n\n",
                 level != nullptr ? level : "");
    }
    return index + 1;
}

void ParseDescriptor(const char* argument) {
    Application.JadPath = NativePath(argument + std::strlen("-Xdescriptor:"));
    if (!ReadDescriptor(Application.JadPath)) {
        LogPrint(LogChannel::Err, "\n-Xdescriptor: Invalid application descriptor file\n");
        CleanUp(false, ExitCode::DescriptorUnusable);
    }
    LogPrint(LogChannel::Log, "Used MIDlet-Classpath (pszcommandLineClassPath): %s\n",
             Application.JarPath.c_str());
}

void ParseDevice(const char* argument) {
    const char* name = argument + std::strlen("-Xdevice:");
    // The one device matches when the text begins with its name.
    if (std::strncmp(name, QueryDeviceName.c_str(), QueryDeviceName.size()) == 0) {
        SelectedDevice = 0;
    }
    if (SelectedDevice < 0) {
        LogPrint(LogChannel::Err, "\n-Xdevice: Unknown device\n");
        CleanUp(false, ExitCode::UnknownDevice);
    }
    LogPrint(LogChannel::Log, "The used default device for emulator is found and allowed: \"%s\"\n", name);
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
            LogPrint(LogChannel::Log, "Ignore option \"suspend=y\"!\n");
        } else if (StartsWith(item, "suspend=n")) {
            LogPrint(LogChannel::Log, "Ignore option \"suspend=n\"!\n");
        } else if (StartsWith(item, "server=n")) {
            LogPrint(LogChannel::Log, "Ignore option \"server=n\"!\n");
        } else if (StartsWith(item, "server=y") || StartsWith(item, "transport=dt_socket")) {
            // Accepted as they are the only way this emulator works.
        } else if (StartsWith(item, "address=")) {
            std::string value = item.substr(std::strlen("address="));
            if (value.empty()) {
                result.failureCode = ExitCode::AddressWithoutValue;
                return result;
            }
            result.address = value;
            result.hasAddress = true;
        } else {
            result.failureCode = ExitCode::UnknownRunJdwpItem;
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
        LogPrint(LogChannel::Out, "The feature \"-D\" is not supported! Ignoring this parameter!\n\n");
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
        LogPrint(LogChannel::Out, "The option \"-Xheapsize\" is not supported! Ignoring this parameter!\n\n");
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
        CleanUp(false, ExitCode::Success);
    }
    return index;
}

void ParseCommandLine(int argc, char** argv) {
    int index = 1;
    while (index < argc) {
        const char* argument = argv[index];
        if (std::strcmp(argument, "-help") == 0) {
            PrintUsage(argv[0]);
            CleanUp(false, ExitCode::Success);
        } else if (std::strcmp(argument, "-emulog") == 0) {
            // Logging was switched on before the command line was read.
        } else if (std::strcmp(argument, "-noload") == 0) {
            LogPrint(LogChannel::Log, "==== argument: -noload\n");
            Settings.NoLoad = 1;
            LogPrint(LogChannel::Log, "The included Jar and Jad files are set to no download and will not be "
                     "downloaded for the debugging session.");
        } else if (std::strcmp(argument, "-version") == 0) {
            PrintVersion();
            CleanUp(false, ExitCode::Success);
        } else if (std::strcmp(argument, "-classpath") == 0) {
            LogPrint(LogChannel::Log, "==== argument: -classpath\n");
            if (index + 1 >= argc) {
                LogPrint(LogChannel::Err, "\nMissing classpath for classpath option\n");
                CleanUp(false, ExitCode::ClasspathWithoutValue);
            }
            ++index;
            Application.JarPath = NativePath(argv[index]);
        } else if (StartsWith(argument, "-udpport:")) {
            Settings.UdpPortText = argument + std::strlen("-udpport:");
            LogPrint(LogChannel::Log, "Used UDP-port from command line: %s\n",
                     Settings.UdpPortText.c_str());
        } else if (argument[0] == '-') {
            const int next = ParseExtendedOption(argc, argv, index);
            if (next == index) {
                LogPrint(LogChannel::Err, "\nWarning, invalid argument: \"%s\"\n\n", argument);
                PrintUsage(argv[0]);
                CleanUp(false, ExitCode::Success);
            }
            index = next;
            continue;
        }
        ++index;
    }
}
