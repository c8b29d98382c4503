#pragma once
// The module's file system behind the facade: the port, its drive count and the connection
// that runs the requests.
#include <mutex>
#include <string>

#include "obex/obex_types.h"
#include "obex/physical_connection.h"

namespace obex {

class ModuleFileSystem {
public:
    ModuleFileSystem(const std::string& portName, uint32_t baudRate);
    ~ModuleFileSystem();

    HRESULT Connect(const std::string* portName);
    HRESULT DriveCount(int* count);
    std::u16string Normalise(const std::u16string& path, HRESULT* result);
    HRESULT Delete(const std::u16string& target);
    HRESULT Put(const std::u16string& target, std::shared_ptr<IStream> stream, uint32_t attributes);
    HRESULT ConnectResult() const { return connectResult_; }

private:
    std::string portName_; // kept whole: device paths and rfc2217:// names
    uint32_t baudRate_;
    int driveCount_ = 0;
    CPhysicalConnection* connection_ = nullptr;
    HRESULT connectResult_ = kOk;
    std::mutex lock_;
};

} // namespace obex
