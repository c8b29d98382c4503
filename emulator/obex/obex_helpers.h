#pragma once
// The OBEX packet engine of the module file-system client: builds request packets in one buffer,
// sends them through a transport, reads the responses, walks folders with SETPATH and streams
// file bodies. Single-threaded: only the owning connection's worker calls it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "obex/obex_types.h"

namespace obex {

// Opcodes as the engine is given them (4 is sent as a final PUT).
inline constexpr uint8_t kOpConnect = 0x80;
inline constexpr uint8_t kOpDisconnect = 0x81;
inline constexpr uint8_t kOpPut = 0x02;
inline constexpr uint8_t kOpPutFinal = 0x82;
inline constexpr uint8_t kOpPutFinalAlias = 4;
inline constexpr uint8_t kOpGetFinal = 0x83;
inline constexpr uint8_t kOpSetPath = 0x85;
inline constexpr uint8_t kOpAbort = 0xFF;

inline constexpr uint8_t kHiName = 0x01;
inline constexpr uint8_t kHiType = 0x42;
inline constexpr uint8_t kHiTime = 0x44;
inline constexpr uint8_t kHiTarget = 0x46;
inline constexpr uint8_t kHiBody = 0x48;
inline constexpr uint8_t kHiEndOfBody = 0x49;
inline constexpr uint8_t kHiWho = 0x4A;
inline constexpr uint8_t kHiAppParameters = 0x4C;
inline constexpr uint8_t kHiLength = 0xC3;
inline constexpr uint8_t kHiConnectionId = 0xCB;

inline constexpr uint32_t kDefaultTimeoutMs = 40000;
inline constexpr std::size_t kInitialPacketSize = 255;
// What our CONNECT announces: responses up to this size must fit the receive buffer.
inline constexpr std::size_t kOwnMaxPacket = 0x4006;

extern const uint8_t kFileSystemTarget[16];

class OBEXHelpers {
public:
    explicit OBEXHelpers(ICancelSignal* cancel = nullptr) : cancel_(cancel) {}

    HRESULT TransportModel(std::string* model);
    HRESULT TransportDriveCount(int* count);
    void Attach(ITransportLayer* transport);
    void BeginPacket() { cursor_ = 3; }
    HRESULT GetIntoSink(IObexStream& sink, uint32_t timeoutMs);
    HRESULT GetFolderListing(FileList* list);
    HRESULT PutBody(uint32_t size, IStream& stream, uint32_t timeoutMs);
    // Finds a header in the last response. *position (when given and not 0) is where the search
    // starts and becomes the data position; *value receives the one- or four-byte value.
    HRESULT FindHeader(uint8_t hi, std::size_t* position, uint32_t* value = nullptr);
    HRESULT Abort();
    std::size_t FreeSpace() const { return cursor_ < packetSize_ ? packetSize_ - cursor_ : 0; }
    HRESULT Connect(int* session, bool irmc);
    HRESULT Disconnect();
    HRESULT OpenTransport(const std::string& portName, uint32_t baudRate);
    HRESULT CloseTransport();
    HRESULT Send(uint8_t opcode, uint32_t timeoutMs);
    HRESULT SetPath(int session, const std::u16string& path, uint8_t nameOpcode, bool create);

    void PutConnectFields();
    HRESULT PutName(const std::u16string* name, uint8_t overflowOpcode);
    HRESULT PutType(const std::string& type, uint8_t overflowOpcode);
    void Put4ByteHeader(uint8_t hi, uint32_t value);
    HRESULT PutTime(double date, uint8_t overflowOpcode);
    HRESULT PutTarget(const uint8_t* bytes, std::size_t length, uint8_t overflowOpcode);
    HRESULT PutByteParameter(uint8_t tag, uint32_t value, uint8_t overflowOpcode);
    HRESULT PutActionParameters(const std::string& action, const std::u16string& source,
                                const std::u16string& destination, uint8_t overflowOpcode);
    HRESULT PutWideParameter(uint8_t tag, const std::u16string* text, uint8_t overflowOpcode);
    HRESULT PutByteTextParameter(uint8_t tag, const std::string& text, uint8_t overflowOpcode);

    // The last response as received.
    const uint8_t* Response() const { return buffer_.data(); }
    std::size_t ReceivedLength() const { return received_; }
    std::size_t PacketSize() const { return packetSize_; }
    const std::u16string& CurrentFolder() const { return currentFolder_; }
    const std::u16string& CurrentDrive() const { return currentDrive_; }

private:
    // Writes one header of byte-sequence type, continuing it in a new packet when it does not
    // fit (the packet so far goes out with overflowOpcode). unit is 1, 2 or 4.
    HRESULT PutSequence(uint8_t hi, const void* data, std::size_t units, int unit, uint8_t overflowOpcode);
    HRESULT PutParameters(const std::vector<uint8_t>& triples, uint8_t overflowOpcode);
    HRESULT SetPathPacket(uint8_t flags, const std::u16string* name);
    void ResetFolder();

    ICancelSignal* cancel_;
    ITransportLayer* transport_ = nullptr;
    std::vector<uint8_t> buffer_;
    std::size_t cursor_ = 3;
    std::size_t received_ = 0;
    std::size_t packetSize_ = kInitialPacketSize;
    std::u16string currentFolder_ = u"\\";
    std::u16string currentDrive_;
};

// Appends tag, length and the value bytes of one application parameter.
void AppendParameter(std::vector<uint8_t>& triples, uint8_t tag, const std::vector<uint8_t>& value, uint8_t length);
// UTF-16BE bytes of a text, with or without a terminating NUL.
std::vector<uint8_t> Utf16BeBytes(const std::u16string& text, bool terminator);

} // namespace obex
