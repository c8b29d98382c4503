// Error reporting shared by every part of the library.
#include "report.h"

#include <cstdio>
#include <cstdlib>

#include "platform/process.h"

void ReportSystemError(const char* message, int error) {
    std::fprintf(stderr, "%s (%d)(%s)\n", message, error, platform::ErrorText(error).c_str());
    std::fflush(stderr);
}

void ReportPrecondition(const char* expression) {
    std::fprintf(stderr, "Precondition failed: %s\n", expression);
    std::fflush(stderr);
}

void EndProcessWithFailure() {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(1);
}
