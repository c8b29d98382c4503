// Upload order and clean-up of the program's files in the module. Every upload is recorded before
// it starts, so the clean-up removes exactly what this session put (or began to put) into the
// module, and never an older copy that a session without upload found there.
#include "session/application_upload.h"
#include "core/exit_codes.h"

#include <algorithm>

#include "obex/module_file_access.h"
#include "session/cleanup.h"
#include "session/upload_progress_display.h"
#include "core/log.h"
#include "core/path_helpers.h"
#include "core/records.h"

namespace {

const char ModuleDrive[] = "A:\\";

std::vector<std::string> uploadedFiles;

class FacadeOperations : public ModuleFileOperations {
public:
    bool Init(const std::string& portName, uint32_t baudRate) override { return InitFileAccess(portName, baudRate); }
    bool Upload(const std::string& localPath) override { return UploadFile(localPath); }
    bool Delete(const std::string& modulePath) override { return DeleteModuleFile(modulePath); }
    void Deinit() override { DeinitFileAccess(); }
};

void Err(const char* text) { LogPrint(LogChannel::Err, "%s", text); }

// Records the target, then uploads; a record is never taken back, because a broken-off upload
// may have left part of the file (or removed an older one) in the module.
bool UploadRecorded(ModuleFileOperations& operations, const std::string& localPath) {
    const std::string target = ModuleTargetPath(localPath);
    if (!target.empty() && std::find(uploadedFiles.begin(), uploadedFiles.end(), target) == uploadedFiles.end()) {
        uploadedFiles.push_back(target);
    }
    return operations.Upload(localPath);
}

bool UploadPair(ModuleFileOperations& operations, const std::string& jad, const std::string& jar) {
    if (!UploadRecorded(operations, jad) || !UploadRecorded(operations, jar)) {
        LogPrint(LogChannel::Err, "\nNot enough memory to upload \"%s\" and \"%s\" into the module!\n",
                 jad.c_str(), jar.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string ModuleTargetPath(const std::string& localPath) {
    const std::string name = FileNameOfPath(localPath);
    if (name.empty()) {
        return std::string();
    }
    return std::string(ModuleDrive) + name;
}

const std::vector<std::string>& UploadedModuleFiles() { return uploadedFiles; }

void ForgetUploadedFiles() { uploadedFiles.clear(); }

ModuleFileOperations& ModuleFileAccessOperations() {
    static FacadeOperations operations;
    return operations;
}

int UploadApplicationFiles(ModuleFileOperations& operations) {
    const std::string& jad = Application.JadPath;
    const std::string& jar = Application.JarPath;
    if (jar.empty() || jar.find(".jar") == std::string::npos) {
        Err("\nJar file declaration is missing in the jad file!\n");
        return ExitCode::NoJarDeclared;
    }
    if (!IsRegularFile(jad) || !IsRegularFile(jar)) {
        LogPrint(LogChannel::Err, "\n\"%s\" or \"%s\" not found on used PC target directory!", jad.c_str(),
                 jar.c_str());
        Err("\nPlease check the jad file jar file path inside the jad file.\n");
        return ExitCode::ApplicationFileMissing;
    }
    LogPrint(LogChannel::Out, "Downloading Jar and Jad file...\n");
    if (!operations.Init(Settings.ComPortName, static_cast<uint32_t>(Settings.ComBaudRate))) {
        Err("\nFlash file initialization failed!\n");
        return ExitCode::FileAccessFailed;
    }
    // File access stays open on failure: the clean-up's init closes it before deleting.
    if (!UploadPair(operations, jad, jar)) {
        return ExitCode::ApplicationUploadFailed;
    }
    for (const auto& name : Application.LibletNames) {
        const std::string libletJad = Application.DeployFolder + name + ".jad";
        const std::string libletJar = Application.DeployFolder + name + ".jar";
        if (!IsRegularFile(libletJad) || !IsRegularFile(libletJar)) {
            LogPrint(LogChannel::Err, "\nLIBlet file \"%s\" or \"%s\" not found on used PC target directory!",
                     libletJad.c_str(), libletJar.c_str());
            Err("\nPlease check, if the dependency LIBlet entry inside the jad file is correct and if LIBlet "
                "files are build correctly.\n");
            return ExitCode::LibletFileMissing;
        }
        if (!UploadPair(operations, libletJad, libletJar)) {
            return ExitCode::LibletUploadFailed;
        }
    }
    operations.Deinit();
    return ExitCode::Success;
}

void DownloadApplication() {
    const UploadProgressOnTerminal progress;
    const int code = UploadApplicationFiles(ModuleFileAccessOperations());
    if (code != 0) {
        CleanUp(false, code);
    }
}

void DeleteUploadedFiles(ModuleFileOperations& operations) {
    if (uploadedFiles.empty()) {
        return; // nothing of this session is in the module
    }
    if (!operations.Init(Settings.ComPortName, static_cast<uint32_t>(Settings.ComBaudRate))) {
        return;
    }
    // Results are not checked: a file that never arrived is no error.
    for (const auto& target : uploadedFiles) {
        operations.Delete(target);
    }
    operations.Deinit();
    uploadedFiles.clear();
}

void DeleteModuleFiles() { DeleteUploadedFiles(ModuleFileAccessOperations()); }
