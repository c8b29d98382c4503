// The upload's view of a local file.
#include "obex/fas_file_stream.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "obex/obex_encoding.h"

namespace obex {
namespace {

FileTime ToFileTime(std::filesystem::file_time_type time) {
    auto system = std::chrono::file_clock::to_sys(time);
    int64_t ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(system.time_since_epoch()).count() / 100;
    return static_cast<FileTime>(ticks + 116444736000000000LL);
}

} // namespace

HRESULT FromOsError(int error) {
    return error == 0 ? kFail : MakeHr(0x80070000u | (static_cast<uint32_t>(error) & 0xFFFF));
}

FASFileStream::~FASFileStream() {
    if (file_) std::fclose(file_);
}

HRESULT FASFileStream::Open(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return FromOsError(EISDIR);
    }
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        return FromOsError(errno);
    }
    path_ = path;
    return kOk;
}

HRESULT FASFileStream::Read(void* buffer, uint32_t count, uint32_t* read) {
    if (read) *read = 0;
    if (buffer == nullptr && count != 0) return kPointer;
    if (file_ == nullptr) return kUnexpected;
    std::size_t got = std::fread(buffer, 1, count, file_);
    if (read) *read = static_cast<uint32_t>(got);
    if (got < count && std::ferror(file_)) {
        return FromOsError(EIO);
    }
    return kOk;
}

HRESULT FASFileStream::Seek(int64_t move, int origin, uint64_t* newPosition) {
    if (origin < 0 || origin > 2) return kInvalidArg;
    if (file_ == nullptr) return kUnexpected;
    static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (std::fseek(file_, static_cast<long>(move), kWhence[origin]) != 0) return FromOsError(errno);
    if (newPosition) *newPosition = static_cast<uint64_t>(std::ftell(file_));
    return kOk;
}

HRESULT FASFileStream::Stat(StreamStat* stat) {
    if (stat == nullptr) return kPointer;
    if (file_ == nullptr) return kUnexpected;
    std::error_code ec;
    uint64_t size = std::filesystem::file_size(path_, ec);
    if (ec) return FromOsError(ec.value());
    auto written = std::filesystem::last_write_time(path_, ec);
    if (ec) return FromOsError(ec.value());
    stat->name = Widen(std::filesystem::path(path_).filename().string());
    stat->size = size;
    // The file system keeps no creation time we can read portably; the write time stands in.
    stat->modified = stat->created = stat->accessed = ToFileTime(written);
    return kOk;
}

bool LocalFileAttributes(const std::string& path, uint32_t* attributes) {
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return false;
    uint32_t a = 0;
    if (std::filesystem::is_directory(status)) a |= kAttrFolder;
    if ((status.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none) a |= kAttrReadOnly;
    std::string name = std::filesystem::path(path).filename().string();
    if (!name.empty() && name[0] == '.') a |= kAttrHidden;
    *attributes = a == 0 ? kAttrNormal : a;
    return true;
}

} // namespace obex
