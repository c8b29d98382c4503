#pragma once
// A local file offered as a read-only stream to the upload.
#include <cstdio>
#include <string>

#include "obex/obex_types.h"

namespace obex {

class FASFileStream : public IStream {
public:
    ~FASFileStream() override;
    // Opens the file for reading: 0, or the OS error as a failure result.
    HRESULT Open(const std::string& path);

    HRESULT Read(void* buffer, uint32_t count, uint32_t* read) override;
    HRESULT Seek(int64_t move, int origin, uint64_t* newPosition) override;
    HRESULT Stat(StreamStat* stat) override;

private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

// Windows-style attributes of a local file (folder, read-only, hidden for dot names, else normal);
// false when the file does not exist.
bool LocalFileAttributes(const std::string& path, uint32_t* attributes);

// A failure result carrying an OS error code.
HRESULT FromOsError(int error);

} // namespace obex
