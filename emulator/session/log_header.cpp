// The lines every session log starts with: when, which build, and the command line it was given.
#include "session/log_header.h"

#include <string>

#include "core/log.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "session/cleanup.h"
#include "session/program_texts.h"
#include "core/exit_codes.h"

std::string ProcessCommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) {
            line += ' ';
        }
        line += platform::QuoteArgument(argv[i] != nullptr ? argv[i] : "");
    }
    return line;
}

void WriteLogHeader(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(argc > 0 ? argv[0] : "");
        CleanUp(false, ExitCode::Success);
    }
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "-emulog") {
            LogEnabled = true;
        }
    }
    const platform::LocalTime now = platform::CurrentLocalTime();
    const std::string rule(50, '=');
    LogPrint(LogChannel::Log, "\n");
    LogPrint(LogChannel::Log, "%s\n", rule.c_str());
    LogPrint(LogChannel::Log, "Start logfile at      : %02d.%02d.%04d  %02d:%02d.%02d\n",
             now.day, now.month, now.year, now.hour, now.minute, now.second);
    LogPrint(LogChannel::Log, "emulator build time   : %s  %s\n", __DATE__, __TIME__);
    LogPrint(LogChannel::Log, "emulator version      : %s, %d bit\n", EmulatorVersion,
             static_cast<int>(sizeof(void*) * 8));
    LogPrint(LogChannel::Log, "%s\n", rule.c_str());
    LogPrint(LogChannel::Log, "\"COMPANY_NAME\" : %s\n", CompanyName);
    LogPrint(LogChannel::Log, "\"TOOL_KIT_NAME\": %s\n", ToolkitName);
    LogPrint(LogChannel::Log, "Commandline:\n%s\n", ProcessCommandLine(argc, argv).c_str());
}

