#pragma once
// The UEI command line: options set the session's flags and texts; -help, -version, -Xquery and
// every error end the process here.
#include <string>

// Examines every argument from index 1 in order. Returns when all were taken.
void ParseCommandLine(int argc, char** argv);

// The UEI options beginning with "-" that ParseCommandLine does not know itself. Returns the
// index of the next argument to examine, or index unchanged for an unknown argument.
int ParseExtendedOption(int argc, char** argv, int index);

// The result of reading the items of -Xrunjdwp: (the text after the colon).
struct RunJdwpOptions {
    int failureCode = 0;  // ExitCode::Success, AddressWithoutValue or UnknownRunJdwpItem
    std::string address;  // value of the last address= item
    bool hasAddress = false;
};

// Reads the comma-separated items in order, logging the ignored ones; stops at the first error.
RunJdwpOptions ParseRunJdwpItems(const std::string& items);

// The debug agent's verbosity option from the text after "-Xverbose:" and the next argument
// (null when there is none). Empty when the level is not 1 to 9.
std::string VerboseOptionOf(const std::string& text, const char* level);
