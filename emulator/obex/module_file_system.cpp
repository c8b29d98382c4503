// The module file system of the facade and the four calls the session driver makes.
#include "obex/module_file_system.h"

#include <filesystem>
#include <memory>

#include "obex/fas_file_stream.h"
#include "obex/module_file_access.h"
#include "obex/module_path.h"
#include "obex/obex_encoding.h"
#include "obex/upload_progress.h"
#include "platform/clock.h"
#include "core/log.h"

namespace obex {

ModuleFileSystem::ModuleFileSystem(const std::string& portName, uint32_t baudRate) : baudRate_(baudRate) {
    connectResult_ = Connect(&portName);
}

ModuleFileSystem::~ModuleFileSystem() {
    if (connection_) ConnectionRegistry::Instance().Release(connection_);
}

HRESULT ModuleFileSystem::Connect(const std::string* portName) {
    if (portName == nullptr) return kPointer;
    if (portName->empty()) return kInvalidArg;
    std::lock_guard<std::mutex> lock(lock_);
    if (*portName == portName_ && connection_ != nullptr) return kOk;
    portName_ = portName->substr(0, 259);
    driveCount_ = 0;
    return ConnectionRegistry::Instance().Get(&connection_, kConnectionTypeSerial, portName_, baudRate_);
}

HRESULT ModuleFileSystem::DriveCount(int* count) {
    std::string name = portName_;
    Connect(&name);
    if (driveCount_ != 0) {
        *count = driveCount_;
        return kOk;
    }
    if (connection_ == nullptr || connection_->Proxy() == nullptr) return kLinkFailure;
    int drives = 0;
    HRESULT hr = connection_->DriveCount(&drives);
    if (Failed(hr) && !connection_->Proxy()->IsConnected()) {
        // Nothing has talked to the module yet: connect from here to learn the count.
        int session = 0;
        HRESULT connected = connection_->Connect(&session, false);
        hr = Failed(connected) ? connected : connection_->DriveCount(&drives);
    }
    if (Succeeded(hr)) {
        driveCount_ = drives;
        *count = drives;
    }
    return hr;
}

std::u16string ModuleFileSystem::Normalise(const std::u16string& path, HRESULT* result) {
    int drives = 0;
    *result = DriveCount(&drives);
    return NormaliseModulePath(path, Failed(*result) ? 0 : drives);
}

HRESULT ModuleFileSystem::Delete(const std::u16string& target) {
    HRESULT hr = kOk;
    std::u16string path = Normalise(target, &hr);
    if (Failed(hr)) return hr;
    if (!ValidModulePath(path, driveCount_, false)) return kInvalidArg;
    Request request(*connection_, kRequestDelete);
    request.SetPath(path);
    request.Enqueue();
    request.Wait();
    return request.TakeResult();
}

HRESULT ModuleFileSystem::Put(const std::u16string& target, std::shared_ptr<IStream> stream, uint32_t attributes) {
    HRESULT hr = kOk;
    std::u16string path = Normalise(target, &hr);
    if (Failed(hr)) return hr;
    if (!ValidModulePath(path, driveCount_, false)) return kInvalidArg;
    if (!stream) return kNoInterface;
    if (attributes & kAttrFolder) return kInvalidArg;
    Request request(*connection_, kRequestPut);
    request.SetPath(path);
    request.SetStream(std::move(stream), attributes);
    request.Enqueue();
    request.Wait();
    return request.TakeResult();
}

} // namespace obex

// ---- the facade ----

namespace {

std::unique_ptr<obex::ModuleFileSystem> g_fileSystem;

void LogFailure(obex::HRESULT hr) {
    obex::ResultData data;
    data.Record(hr);
    LogPrint(LogChannel::Log, "Module file operation failed (0x%08X): %s\n", static_cast<unsigned>(hr),
             data.message.c_str());
}

} // namespace

bool InitFileAccess(const std::string& portName, uint32_t baudRate) {
    if (g_fileSystem) DeinitFileAccess();
    if (portName.empty()) return false;
    LogPrint(LogChannel::Log, "Initializing module file access...\n");
    try {
        g_fileSystem = std::make_unique<obex::ModuleFileSystem>(portName, baudRate);
    } catch (const std::bad_alloc&) {
        return false;
    }
    platform::SystemClock().Sleep(100);
    return true;
}

void DeinitFileAccess() {
    if (!g_fileSystem) return;
    LogPrint(LogChannel::Log, "Deinitializing module file access...\n");
    g_fileSystem.reset(); // releases the connection: queued work finishes, the port closes
    platform::SystemClock().Sleep(100);
}

bool UploadFile(const std::string& localPath) {
    std::filesystem::path local(localPath);
    std::string name = local.stem().string();
    std::string extension = local.extension().string();
    if (name.empty() && extension.empty()) return false;
    std::string target = "A:\\" + name + extension;
    if (target.size() > 260) return false;
    return SendFile(target, localPath);
}

bool SendFile(const std::string& modulePath, const std::string& localPath) {
    if (!g_fileSystem) return false;
    LogPrint(LogChannel::Log, "Sending \"%s\" to module target \"%s\"...\n", localPath.c_str(), modulePath.c_str());
    auto stream = std::make_shared<obex::FASFileStream>();
    obex::HRESULT hr = stream->Open(localPath);
    if (obex::Failed(hr)) {
        LogFailure(hr);
        return false;
    }
    uint32_t attributes = 0;
    if (!obex::LocalFileAttributes(localPath, &attributes)) attributes = obex::kAttrNormal;
    std::u16string target = obex::Widen(modulePath);
    g_fileSystem->Delete(target); // the file may well not exist
    std::error_code sizeError;
    const uint64_t size = std::filesystem::file_size(localPath, sizeError);
    obex::ReportFileStarted(std::filesystem::path(localPath).filename().string(), sizeError ? 0 : size);
    hr = g_fileSystem->Put(target, obex::WithUploadProgress(stream), attributes);
    obex::ReportFileFinished();
    if (obex::Failed(hr)) LogFailure(hr);
    return obex::Succeeded(hr);
}

bool DeleteModuleFile(const std::string& modulePath) {
    if (!g_fileSystem) return false;
    LogPrint(LogChannel::Log, "Deleting module file \"%s\"...\n", modulePath.c_str());
    obex::HRESULT hr = g_fileSystem->Delete(obex::Widen(modulePath));
    if (obex::Failed(hr)) LogFailure(hr);
    return obex::Succeeded(hr);
}
