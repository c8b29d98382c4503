// Reading one zip entry: which bytes to fetch is decided here, what they mean in zip_format.
#include "core/zip_entry.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/zip_format.h"

namespace zip {
namespace {

// The central directory of a real archive with tens of thousands of entries is a few MiB; a
// directory claiming more is refused rather than read into memory.
constexpr uint64_t kMaxDirectorySize = 16u << 20;

class FileSource : public ByteSource {
public:
    FileSource(std::ifstream file, uint64_t size) : file_(std::move(file)), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool Read(uint64_t offset, std::size_t size, std::string* bytes) override {
        if (offset > size_ || size > size_ - offset) return false;
        bytes->resize(size);
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(offset));
        file_.read(bytes->data(), static_cast<std::streamsize>(size));
        return static_cast<std::size_t>(file_.gcount()) == size;
    }

private:
    std::ifstream file_;
    uint64_t size_;
};

std::optional<std::string> Fail(std::string* why, const char* reason) {
    if (why) *why = reason;
    return std::nullopt;
}

} // namespace

bool MemorySource::Read(uint64_t offset, std::size_t size, std::string* bytes) {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
    bytes->assign(bytes_.substr(static_cast<std::size_t>(offset), size));
    return true;
}

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path, std::string* why) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        if (why) *why = "not a file";
        return nullptr;
    }
    const uint64_t size = std::filesystem::file_size(path, ec);
    std::ifstream file(path, std::ios::binary);
    if (ec || !file) {
        if (why) *why = "cannot open the file";
        return nullptr;
    }
    return std::make_unique<FileSource>(std::move(file), size);
}

std::optional<std::string> ReadEntry(ByteSource& source, std::string_view name, std::size_t maxSize,
                                     std::string* why) {
    if (why) why->clear();
    const uint64_t fileSize = source.Size();
    const std::size_t tailSize = static_cast<std::size_t>(std::min<uint64_t>(fileSize, kMaxEndRecordDistance));
    std::string tail;
    if (!source.Read(fileSize - tailSize, tailSize, &tail)) return Fail(why, "cannot read the end of the file");
    auto directory = FindDirectory(tail, fileSize, why);
    if (!directory) return std::nullopt;
    if (directory->size > kMaxDirectorySize) return Fail(why, "central directory too large");

    std::string directoryBytes;
    const uint64_t tailStart = fileSize - tailSize;
    if (directory->offset >= tailStart) {
        // Small archives: the directory is already in the tail.
        directoryBytes = tail.substr(static_cast<std::size_t>(directory->offset - tailStart),
                                     static_cast<std::size_t>(directory->size));
    } else if (!source.Read(directory->offset, static_cast<std::size_t>(directory->size), &directoryBytes)) {
        return Fail(why, "cannot read the central directory");
    }
    auto entry = FindEntry(directoryBytes, *directory, name, why);
    if (!entry) {
        if (why && why->empty()) *why = "no such entry";
        return std::nullopt;
    }
    if (entry->size > maxSize || entry->compressedSize > MaxCompressedSize(maxSize)) {
        return Fail(why, "entry larger than the limit");
    }
    std::string header;
    if (!source.Read(entry->localHeaderOffset, kLocalHeaderSize, &header)) {
        return Fail(why, "cannot read the local header");
    }
    auto dataOffset = DataOffset(header, *entry, why);
    if (!dataOffset) return std::nullopt;
    if (*dataOffset + entry->compressedSize > directory->offset) {
        return Fail(why, "entry data runs into the central directory");
    }
    std::string data;
    if (!source.Read(*dataOffset, static_cast<std::size_t>(entry->compressedSize), &data)) {
        return Fail(why, "cannot read the entry data");
    }
    return Expand(data, *entry, maxSize, why);
}

} // namespace zip
