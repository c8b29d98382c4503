#pragma once
// One entry of a zip archive, read through a source of bytes: a file, or bytes in memory for
// tests and fuzzing. Only the end of the archive, its central directory and the one entry are
// read, so a large archive with thousands of entries costs no more than a small one.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zip {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Exactly size bytes from offset into *bytes; false when they cannot all be read.
    virtual bool Read(uint64_t offset, std::size_t size, std::string* bytes) = 0;
};

// Bytes held by the caller, who keeps them alive while the source is used.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    bool Read(uint64_t offset, std::size_t size, std::string* bytes) override;

private:
    std::string_view bytes_;
};

// A file opened for reading; null with a reason in *why when it cannot be opened.
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path, std::string* why);

// The content of the first entry named exactly name, at most maxSize bytes. Empty result with a
// short reason in *why when the archive is unreadable, damaged or lies about its sizes, when the
// entry is missing, or when it would be larger than maxSize.
std::optional<std::string> ReadEntry(ByteSource& source, std::string_view name, std::size_t maxSize,
                                     std::string* why);

} // namespace zip
