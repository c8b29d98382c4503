#pragma once
// How far each file upload has come, for whoever shows it. The program that displays progress
// installs an observer; without one nothing is reported. The file transfer knows nothing of how
// (or whether) progress is shown.
#include <cstdint>
#include <memory>
#include <string>

#include "obex/obex_types.h"

namespace obex {

class UploadObserver {
public:
    virtual ~UploadObserver() = default;
    // A file's body is about to go up: its local file name and size in bytes.
    virtual void FileStarted(const std::string& name, uint64_t total) = 0;
    // The module has taken sent bytes of the body so far. Called on the connection's worker
    // thread, while the thread that started the file waits for it.
    virtual void BytesSent(uint64_t sent) = 0;
    // The file is done, whether it went up or not.
    virtual void FileFinished() = 0;
};

// Installs the observer (null: none). The caller keeps it alive while it is installed.
void SetUploadObserver(UploadObserver* observer);

// Reports to the installed observer, if any.
void ReportFileStarted(const std::string& name, uint64_t total);
void ReportBytesSent(uint64_t sent);
void ReportFileFinished();

// The stream as the upload should read it when progress is wanted: the upload reads a packet's
// bytes only once the module has acknowledged the packet before, so whatever was read before a
// read has arrived, and is reported as sent.
std::shared_ptr<IStream> WithUploadProgress(std::shared_ptr<IStream> stream);

} // namespace obex
