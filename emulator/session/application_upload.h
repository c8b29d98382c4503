#pragma once
// Putting the program's files into the module before a session and removing them afterwards.
#include <cstdint>
#include <string>
#include <vector>

// Uploads the application JAD and JAR, then the JAD and JAR of each LIBlet in dependency order,
// through the module file access. Returns only on success; every failure ends the session
// through CleanUp with its code (ExitCode::NoJarDeclared to ExitCode::LibletUploadFailed).
void DownloadApplication();

// Deletes from the module the files this session uploaded (also one whose upload broke off), and
// nothing else: after a -noload session, or one that ended before any upload began, the module
// is left alone and file access is not even opened. Safe to call on every end of a session.
void DeleteModuleFiles();

// The module paths ("A:\" + name + extension) of the files whose upload this session started,
// in upload order, each once.
const std::vector<std::string>& UploadedModuleFiles();

// The module path a local file is uploaded to: "A:\" followed by its file name and extension;
// empty when the path has no file name.
std::string ModuleTargetPath(const std::string& localPath);

// The four module file operations the upload and the clean-up use; the default forwards to the
// module file access (obex/module_file_access.h). Tests put a fake in its place.
class ModuleFileOperations {
public:
    virtual ~ModuleFileOperations() = default;
    virtual bool Init(const std::string& portName, uint32_t baudRate) = 0;
    virtual bool Upload(const std::string& localPath) = 0;
    virtual bool Delete(const std::string& modulePath) = 0;
    virtual void Deinit() = 0;
};

ModuleFileOperations& ModuleFileAccessOperations();

// The steps of DownloadApplication and DeleteModuleFiles on the given operations.
// UploadApplicationFiles returns 0 on success, otherwise the code the session ends with.
int UploadApplicationFiles(ModuleFileOperations& operations);
void DeleteUploadedFiles(ModuleFileOperations& operations);

// Forgets what was uploaded (a new session in the same process, and tests).
void ForgetUploadedFiles();
