#pragma once
// The shared vocabulary of the file transfer: the stream a put reads from, the sink a get writes
// to, the folder-listing record and the transport under the packet engine.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "obex/hresult.h"

namespace obex {

// The sink of a GET: receives each block of the object in order. 0 accepts the block.
class IObexStream {
public:
    virtual ~IObexStream() = default;
    virtual HRESULT Write(const uint8_t* data, std::size_t length) = 0;
};

// Windows-style file times: 100-ns intervals since 1601-01-01 UTC.
using FileTime = uint64_t;

struct StreamStat {
    std::u16string name;
    uint64_t size = 0;
    FileTime modified = 0;
    FileTime created = 0;
    FileTime accessed = 0;
};

enum class SeekOrigin { Set = 0, Current = 1, End = 2 };

// The local file a put reads from; shared between the caller and the worker that runs the put.
class IStream {
public:
    virtual ~IStream() = default;
    virtual HRESULT Read(void* buffer, uint32_t count, uint32_t* read) = 0;
    virtual HRESULT Seek(int64_t move, int origin, uint64_t* newPosition) = 0;
    virtual HRESULT Stat(StreamStat* stat) = 0;
};

// Windows file attribute bits as the module file system keeps them.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrFolder = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrNormal = 0x80;

// One entry of a folder listing. Names hold at most 127 UTF-16 characters.
struct FileEntry {
    std::u16string name;
    std::u16string alternativeName; // empty when none
    uint32_t size = 0;
    uint32_t attributes = 0;
    double created = 0.0; // OLE dates, local time; 0.0 when not given
    double accessed = 0.0;
    double modified = 0.0;
};
using FileList = std::vector<FileEntry>;

inline constexpr std::size_t kMaxEntryNameLength = 127;

// Carries whole OBEX packets to the module and back.
class ITransportLayer {
public:
    virtual ~ITransportLayer() = default;
    virtual HRESULT Open(const std::string& portName, uint32_t baudRate) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT LeaveObexMode() = 0;
    // Sends length bytes of buffer and receives one whole response packet into it (at most
    // capacity bytes); *length becomes the received length.
    virtual HRESULT Transact(uint8_t* buffer, std::size_t* length, uint32_t timeoutMs, std::size_t capacity) = 0;
    virtual HRESULT Model(std::string* text) = 0;
    virtual HRESULT DriveCount(int* count) = 0;
};

// A cancellation signal that another process may raise. Taking it resets it.
class ICancelSignal {
public:
    virtual ~ICancelSignal() = default;
    virtual bool Take() = 0;
};

} // namespace obex
