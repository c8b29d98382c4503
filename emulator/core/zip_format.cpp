// Zip records read from bytes. All multi-byte numbers of the format are little-endian.
#include "core/zip_format.h"

#include <zlib.h>

namespace zip {
namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kDirectorySignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kDirectoryHeaderSize = 46;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;

uint16_t Read16(std::string_view bytes, std::size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

uint32_t Read32(std::string_view bytes, std::size_t at) {
    return static_cast<uint32_t>(Read16(bytes, at)) | static_cast<uint32_t>(Read16(bytes, at + 2)) << 16;
}

template <typename T>
std::optional<T> Fail(std::string* why, const char* reason) {
    if (why) *why = reason;
    return std::nullopt;
}

} // namespace

std::optional<DirectoryLocation> FindDirectory(std::string_view tail, uint64_t fileSize, std::string* why) {
    if (tail.size() > fileSize) return Fail<DirectoryLocation>(why, "inconsistent file size");
    if (tail.size() < kEndRecordSize) return Fail<DirectoryLocation>(why, "too short for a zip archive");
    // The last signature whose comment ends within the file wins; a comment may itself hold the
    // signature's bytes, so the search goes on backwards past a record that does not fit.
    for (std::size_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
        if (Read32(tail, at) != kEndSignature) continue;
        const std::size_t commentLength = Read16(tail, at + 20);
        if (at + kEndRecordSize + commentLength > tail.size()) continue;
        const uint16_t disk = Read16(tail, at + 4);
        const uint16_t directoryDisk = Read16(tail, at + 6);
        const uint16_t entriesHere = Read16(tail, at + 8);
        const uint16_t entries = Read16(tail, at + 10);
        const uint32_t size = Read32(tail, at + 12);
        const uint32_t offset = Read32(tail, at + 16);
        if (entries == 0xFFFF || size == 0xFFFFFFFF || offset == 0xFFFFFFFF) {
            return Fail<DirectoryLocation>(why, "ZIP64 archives are not read");
        }
        if (disk != 0 || directoryDisk != 0 || entriesHere != entries) {
            return Fail<DirectoryLocation>(why, "archives split over several files are not read");
        }
        const uint64_t endPosition = fileSize - tail.size() + at;
        if (size > endPosition) return Fail<DirectoryLocation>(why, "central directory larger than the file");
        // Bytes in front of the archive (a stub) move every recorded offset by the same amount.
        const uint64_t start = endPosition - size;
        if (offset > start) return Fail<DirectoryLocation>(why, "central directory offset beyond the file");
        DirectoryLocation location;
        location.offset = start;
        location.size = size;
        location.entries = entries;
        location.shift = static_cast<int64_t>(start - offset);
        return location;
    }
    return Fail<DirectoryLocation>(why, "no end of central directory record");
}

std::optional<EntryLocation> FindEntry(std::string_view directory, const DirectoryLocation& location,
                                       std::string_view name, std::string* why) {
    std::size_t at = 0;
    for (uint32_t index = 0; index < location.entries; ++index) {
        if (directory.size() - at < kDirectoryHeaderSize) {
            return Fail<EntryLocation>(why, "central directory shorter than its entries");
        }
        if (Read32(directory, at) != kDirectorySignature) {
            return Fail<EntryLocation>(why, "bad central directory entry");
        }
        const std::size_t nameLength = Read16(directory, at + 28);
        const std::size_t extraLength = Read16(directory, at + 30);
        const std::size_t commentLength = Read16(directory, at + 32);
        const std::size_t total = kDirectoryHeaderSize + nameLength + extraLength + commentLength;
        if (directory.size() - at < total) {
            return Fail<EntryLocation>(why, "central directory entry runs past the directory");
        }
        if (directory.substr(at + kDirectoryHeaderSize, nameLength) == name) {
            EntryLocation entry;
            entry.flags = Read16(directory, at + 8);
            entry.method = Read16(directory, at + 10);
            entry.crc = Read32(directory, at + 16);
            entry.compressedSize = Read32(directory, at + 20);
            entry.size = Read32(directory, at + 24);
            const uint64_t recorded = Read32(directory, at + 42);
            if (entry.compressedSize == 0xFFFFFFFF || entry.size == 0xFFFFFFFF || recorded == 0xFFFFFFFF) {
                return Fail<EntryLocation>(why, "ZIP64 entries are not read");
            }
            entry.localHeaderOffset = recorded + static_cast<uint64_t>(location.shift);
            // The local header and the data lie before the central directory.
            if (entry.localHeaderOffset + kLocalHeaderSize + entry.compressedSize > location.offset) {
                return Fail<EntryLocation>(why, "entry offset or size beyond the archive");
            }
            return entry;
        }
        at += total;
    }
    return std::nullopt;
}

std::optional<uint64_t> DataOffset(std::string_view localHeader, const EntryLocation& entry, std::string* why) {
    if (localHeader.size() < kLocalHeaderSize || Read32(localHeader, 0) != kLocalSignature) {
        return Fail<uint64_t>(why, "bad local header");
    }
    return entry.localHeaderOffset + kLocalHeaderSize + Read16(localHeader, 26) + Read16(localHeader, 28);
}

uint64_t MaxCompressedSize(std::size_t maxSize) {
    // Deflate never grows data by more than a few bytes per 16 KiB block.
    return static_cast<uint64_t>(maxSize) + maxSize / 1024 + 1024;
}

std::optional<std::string> Expand(std::string_view data, const EntryLocation& entry, std::size_t maxSize,
                                  std::string* why) {
    if (entry.flags & kFlagEncrypted) return Fail<std::string>(why, "entry is encrypted");
    if (entry.size > maxSize) return Fail<std::string>(why, "entry larger than the limit");
    if (data.size() != entry.compressedSize) return Fail<std::string>(why, "entry data cut short");
    std::string content;
    if (entry.method == kMethodStored) {
        if (entry.compressedSize != entry.size) return Fail<std::string>(why, "stored entry with two sizes");
        content.assign(data);
    } else if (entry.method == kMethodDeflated) {
        // One byte more than the recorded size: a stream that goes on past it is caught.
        content.resize(static_cast<std::size_t>(entry.size) + 1);
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return Fail<std::string>(why, "inflate unavailable");
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream.avail_in = static_cast<uInt>(data.size());
        stream.next_out = reinterpret_cast<Bytef*>(content.data());
        stream.avail_out = static_cast<uInt>(content.size());
        const int result = inflate(&stream, Z_FINISH);
        const uint64_t produced = stream.total_out;
        inflateEnd(&stream);
        if (result != Z_STREAM_END) return Fail<std::string>(why, "deflate data damaged or larger than recorded");
        if (produced != entry.size) return Fail<std::string>(why, "entry size differs from the recorded size");
        content.resize(static_cast<std::size_t>(produced));
    } else {
        return Fail<std::string>(why, "unknown compression method");
    }
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(content.data()),
                            static_cast<uInt>(content.size()));
    if (crc != entry.crc) return Fail<std::string>(why, "entry CRC mismatch");
    return content;
}

} // namespace zip
