#pragma once
// The records of a zip archive (a JAR is one) that are needed to find one entry: the end record,
// the central directory and an entry's local header. Pure functions over bytes: they never read
// a file, and every size and offset they hand back lies inside the bytes or the file they were
// told about. A failure leaves a short reason in *why.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zip {

// The end record is at most this far from the end of the file (22 bytes and a comment).
constexpr std::size_t kMaxEndRecordDistance = 22 + 0xFFFF;

struct DirectoryLocation {
    uint64_t offset = 0;   // where the central directory really starts in the file
    uint64_t size = 0;     // its size in bytes
    uint32_t entries = 0;  // the number of entries it claims
    int64_t shift = 0;     // added to every local header offset (bytes in front of the archive)
};

// Finds the end record in the last bytes of a file of fileSize bytes (tail holds the file's
// last tail.size() bytes) and checks that the directory it names lies before it.
std::optional<DirectoryLocation> FindDirectory(std::string_view tail, uint64_t fileSize, std::string* why);

struct EntryLocation {
    uint16_t flags = 0;
    uint16_t method = 0; // 0 stored, 8 deflated
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t localHeaderOffset = 0; // already shifted: a position in the file
};

// Walks the central directory (its bytes, as located by FindDirectory) for the first entry
// named exactly name. Empty result without a reason when the entry is not there.
std::optional<EntryLocation> FindEntry(std::string_view directory, const DirectoryLocation& location,
                                       std::string_view name, std::string* why);

// The size of a local header's fixed part; the name and extra field follow it.
constexpr std::size_t kLocalHeaderSize = 30;

// The file position of an entry's data, from the fixed part of its local header.
std::optional<uint64_t> DataOffset(std::string_view localHeader, const EntryLocation& entry, std::string* why);

// The entry's content from its compressed data: a stored copy or an inflated deflate stream,
// checked against the sizes and the CRC of the central directory. Nothing larger than maxSize
// is ever produced or allocated.
std::optional<std::string> Expand(std::string_view data, const EntryLocation& entry, std::size_t maxSize,
                                  std::string* why);

// The most compressed bytes an entry of at most maxSize bytes can take.
uint64_t MaxCompressedSize(std::size_t maxSize);

} // namespace zip
