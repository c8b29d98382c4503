// Module file access until the OBEX transfer is part of the build: every call reports failure
// with a clear message, so a session that needs the module's flash ends with its error code.
#include "obex/module_file_access.h"

#include "session/log.h"

namespace {
void ReportUnavailable() {
    LogPrint(false, true, nullptr, "\nModule file access is not available in this build.\n");
}
} // namespace

bool InitFileAccess(const std::string&, uint32_t) {
    ReportUnavailable();
    return false;
}

bool UploadFile(const std::string&) {
    ReportUnavailable();
    return false;
}

bool SendFile(const std::string&, const std::string&) {
    ReportUnavailable();
    return false;
}

bool DeleteModuleFile(const std::string&) {
    ReportUnavailable();
    return false;
}

void DeinitFileAccess() {}
