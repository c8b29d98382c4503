// Module control until the serial port and AT exchange are part of the build: each call says so
// on the error channel and reports failure, so a session ends at the first module step.
#include "module/module_control.h"
#include "module/module_port.h"
#include "session/log.h"

namespace {
void ReportUnavailable(const char* what) {
    LogPrint(false, true, nullptr, "\n%s is not available in this build.\n", what);
}
} // namespace

bool PrepareModulePort() {
    ReportUnavailable("Module port access");
    return false;
}

bool StartModuleProgram() {
    ReportUnavailable("Starting the program in the module");
    return false;
}

bool InitModuleDebugClassic() {
    ReportUnavailable("Module debug configuration");
    return false;
}

bool InitModuleDebugNew() {
    ReportUnavailable("Module debug configuration");
    return false;
}

void ResetModule() { ReportUnavailable("Module reset"); }
