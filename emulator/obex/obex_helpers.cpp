// Packet building, sending and response reading of the OBEX engine.
#include "obex/obex_helpers.h"

#include <algorithm>
#include <thread>

#include "obex/folder_listing.h"
#include "obex/obex_encoding.h"

namespace obex {

const uint8_t kFileSystemTarget[16] = {0x6B, 0x01, 0xCB, 0x31, 0x41, 0x06, 0x11, 0xD4,
                                       0x9A, 0x77, 0x00, 0x50, 0xDA, 0x3F, 0x47, 0x1F};

namespace {
const char kIrmcTarget[] = "IRMC-SYNC";
constexpr uint32_t kConnectTimeoutMs = 20000;
constexpr uint32_t kDisconnectTimeoutMs = 3000;

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
} // namespace

std::vector<uint8_t> Utf16BeBytes(const std::u16string& text, bool terminator) {
    std::vector<uint8_t> out;
    out.reserve(text.size() * 2 + 2);
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c & 0xFF));
    }
    if (terminator) {
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

HRESULT OBEXHelpers::TransportModel(std::string* model) {
    return transport_ ? transport_->Model(model) : kUnexpected;
}

HRESULT OBEXHelpers::TransportDriveCount(int* count) {
    return transport_ ? transport_->DriveCount(count) : kUnexpected;
}

void OBEXHelpers::Attach(ITransportLayer* transport) {
    transport_ = transport;
    if (buffer_.empty()) {
        buffer_.assign(kInitialPacketSize, 0);
    }
    ResetFolder();
    BeginPacket();
}

void OBEXHelpers::ResetFolder() {
    currentFolder_ = u"\\";
    currentDrive_.clear();
}

HRESULT OBEXHelpers::Send(uint8_t opcode, uint32_t timeoutMs) {
    if (opcode != kOpDisconnect && opcode != kOpAbort && cancel_ != nullptr && cancel_->Take()) {
        Abort();
        return kCancelled;
    }
    if (transport_ == nullptr || buffer_.empty()) {
        BeginPacket();
        return kUnexpected;
    }
    buffer_[0] = opcode == kOpPutFinalAlias ? kOpPutFinal : opcode;
    std::size_t length = cursor_;
    buffer_[1] = static_cast<uint8_t>(length >> 8);
    buffer_[2] = static_cast<uint8_t>(length & 0xFF);
    HRESULT hr = transport_->Transact(buffer_.data(), &length, timeoutMs, buffer_.size());
    BeginPacket();
    if (Failed(hr)) {
        received_ = 0;
        return hr;
    }
    received_ = length;
    if (length < 3 || Be16(buffer_.data() + 1) != length) {
        return kLinkFailure;
    }
    return MapResponseCode(buffer_[0]);
}

HRESULT OBEXHelpers::FindHeader(uint8_t hi, std::size_t* position, uint32_t* value) {
    std::size_t p = 3;
    if (position != nullptr && *position != 0) {
        static const uint8_t kKnown[] = {0xC0, 0x01, 0x42, 0xC3, 0x44, 0x05, 0x46, 0x48, 0x49, 0x4C, 0x4A, 0xCB};
        if (*position >= buffer_.size() || std::find(std::begin(kKnown), std::end(kKnown), hi) == std::end(kKnown)) {
            return kInvalidArg;
        }
        p = *position;
    }
    while (p < received_) {
        uint8_t h = buffer_[p];
        switch (h >> 6) {
        case 0:
        case 1: {
            if (p + 3 > received_) return kFail;
            std::size_t total = Be16(buffer_.data() + p + 1);
            if (total < 3 || p + total > received_) return kFail;
            if (h == hi) {
                if (position) *position = p + 3;
                return static_cast<HRESULT>(total - 3);
            }
            p += total;
            break;
        }
        case 2:
            if (p + 2 > received_) return kFail;
            if (h == hi) {
                if (value) *value = buffer_[p + 1];
                if (position) *position = p + 2;
                return kOk;
            }
            p += 2;
            break;
        default:
            if (p + 5 > received_) return kFail;
            if (h == hi) {
                if (value) {
                    *value = (static_cast<uint32_t>(buffer_[p + 1]) << 24) | (static_cast<uint32_t>(buffer_[p + 2]) << 16) |
                             (static_cast<uint32_t>(buffer_[p + 3]) << 8) | buffer_[p + 4];
                }
                if (position) *position = p + 5;
                return kOk;
            }
            p += 5;
            break;
        }
    }
    return kFail;
}

HRESULT OBEXHelpers::Abort() {
    BeginPacket();
    return Send(kOpAbort, kDefaultTimeoutMs);
}

HRESULT OBEXHelpers::Connect(int* session, bool irmc) {
    BeginPacket();
    PutConnectFields();
    const uint8_t* target = irmc ? reinterpret_cast<const uint8_t*>(kIrmcTarget) : kFileSystemTarget;
    std::size_t targetLength = irmc ? 9 : 16;
    HRESULT hr = PutTarget(target, targetLength, 0x80);
    if (Succeeded(hr)) {
        hr = Send(kOpConnect, kConnectTimeoutMs);
    }
    if (Failed(hr) || received_ < 7) {
        packetSize_ = kInitialPacketSize;
        return kLinkFailure;
    }
    std::size_t peerSize = Be16(buffer_.data() + 5);
    std::size_t pos = 7;
    uint32_t ignored = 0;
    FindHeader(kHiConnectionId, &pos, &ignored);
    pos = 7;
    HRESULT whoLength = FindHeader(kHiWho, &pos);
    bool whoMatches = Succeeded(whoLength) && whoLength > 0 && static_cast<std::size_t>(whoLength) <= targetLength &&
                      std::equal(buffer_.begin() + static_cast<long>(pos),
                                 buffer_.begin() + static_cast<long>(pos) + whoLength, target);
    if (!whoMatches) {
        packetSize_ = kInitialPacketSize;
        return kLinkFailure;
    }
    if (peerSize < kInitialPacketSize) {
        Disconnect();
        return kLinkFailure;
    }
    try {
        // The peer may answer with packets up to the size we announced, even when its own is smaller.
        buffer_.resize(std::max(peerSize, kOwnMaxPacket));
    } catch (const std::bad_alloc&) {
        Disconnect();
        return kOutOfMemory;
    }
    packetSize_ = peerSize;
    *session = irmc ? 2 : 1;
    ResetFolder();
    return kOk;
}

HRESULT OBEXHelpers::Disconnect() {
    BeginPacket();
    Send(kOpDisconnect, kDisconnectTimeoutMs);
    ResetFolder();
    packetSize_ = kInitialPacketSize;
    return kOk;
}

HRESULT OBEXHelpers::OpenTransport(const std::string& portName, uint32_t baudRate) {
    return transport_ ? transport_->Open(portName, baudRate) : kUnexpected;
}

HRESULT OBEXHelpers::CloseTransport() { return transport_ ? transport_->Close() : kUnexpected; }

HRESULT OBEXHelpers::GetIntoSink(IObexStream& sink, uint32_t timeoutMs) {
    HRESULT hr = Send(kOpGetFinal, timeoutMs);
    while (hr == kObexContinue) {
        std::size_t pos = 0;
        HRESULT length = FindHeader(kHiBody, &pos);
        if (length > 0) {
            HRESULT w = sink.Write(buffer_.data() + pos, static_cast<std::size_t>(length));
            if (w != kOk) {
                Abort();
                return w;
            }
        }
        std::this_thread::yield();
        hr = Send(kOpGetFinal, timeoutMs);
    }
    if (hr == kObexOk) {
        // Some servers put the last block in a Body header of the final answer; take it too.
        for (uint8_t hi : {kHiBody, kHiEndOfBody}) {
            std::size_t pos = 0;
            HRESULT length = FindHeader(hi, &pos);
            if (length > 0) {
                HRESULT w = sink.Write(buffer_.data() + pos, static_cast<std::size_t>(length));
                if (w != kOk) return w;
            }
        }
    }
    return hr;
}

HRESULT OBEXHelpers::GetFolderListing(FileList* list) {
    HRESULT hr = Send(kOpGetFinal, kDefaultTimeoutMs);
    if (Failed(hr)) {
        return hr;
    }
    std::size_t pos = 0;
    uint32_t announced = 0;
    if (Failed(FindHeader(kHiLength, &pos, &announced))) {
        return kOutOfMemory;
    }
    // The announced Length is the module's word, not a fact: it bounds the listing, but memory
    // is taken only for the bytes that arrive, so a wrong or hostile Length (up to 4 GiB) costs
    // nothing. The first packet's worth is reserved at once.
    std::string text;
    try {
        text.reserve(std::min<std::size_t>(announced, buffer_.size()) + 1);
    } catch (const std::exception&) {
        return kOutOfMemory;
    }
    // kOk, kLinkFailure for more data than announced, kOutOfMemory.
    auto append = [&](uint8_t hi) -> HRESULT {
        std::size_t at = 0;
        HRESULT length = FindHeader(hi, &at);
        if (length <= 0) return kOk;
        if (text.size() + static_cast<std::size_t>(length) > announced) return kLinkFailure;
        try {
            text.append(reinterpret_cast<const char*>(buffer_.data() + at), static_cast<std::size_t>(length));
        } catch (const std::exception&) {
            return kOutOfMemory;
        }
        return kOk;
    };
    while (hr == kObexContinue) {
        HRESULT added = append(kHiBody);
        if (added != kOk) return added;
        hr = Send(kOpGetFinal, kDefaultTimeoutMs);
        if (Failed(hr)) return hr;
    }
    for (uint8_t hi : {kHiBody, kHiEndOfBody}) {
        HRESULT added = append(hi);
        if (added != kOk) return added;
    }
    switch (ParseFolderListing(text, list)) {
    case ListingParse::OutOfMemory: return kOutOfMemory;
    case ListingParse::Entries: return kOk;
    case ListingParse::Empty: return kFalse;
    default: return kEmptyText;
    }
}

HRESULT OBEXHelpers::PutBody(uint32_t size, IStream& stream, uint32_t timeoutMs) {
    auto readInto = [&](std::size_t count) -> HRESULT {
        uint32_t got = 0;
        HRESULT hr = stream.Read(buffer_.data() + cursor_, static_cast<uint32_t>(count), &got);
        if (Failed(hr) || got != count) {
            BeginPacket();
            Abort();
            // A short read is a failure too: the module must not keep a shortened file.
            return Failed(hr) ? hr : kFail;
        }
        cursor_ += count;
        return kOk;
    };
    if (FreeSpace() < 3) {
        HRESULT hr = Send(kOpPut, timeoutMs);
        if (Failed(hr)) return hr;
    }
    std::size_t chunk = FreeSpace() - 3;
    if (packetSize_ >= 512) {
        chunk -= chunk % 512;
    }
    uint32_t sent = 0;
    while (size - sent > chunk) {
        buffer_[cursor_] = kHiBody;
        buffer_[cursor_ + 1] = static_cast<uint8_t>((chunk + 3) >> 8);
        buffer_[cursor_ + 2] = static_cast<uint8_t>((chunk + 3) & 0xFF);
        cursor_ += 3;
        HRESULT hr = readInto(chunk);
        if (Failed(hr)) return hr;
        std::this_thread::yield();
        hr = Send(kOpPut, timeoutMs);
        if (Failed(hr)) return hr;
        sent += static_cast<uint32_t>(chunk);
        chunk = packetSize_ - 6;
    }
    std::size_t rest = size - sent;
    buffer_[cursor_] = kHiEndOfBody;
    buffer_[cursor_ + 1] = static_cast<uint8_t>((rest + 3) >> 8);
    buffer_[cursor_ + 2] = static_cast<uint8_t>((rest + 3) & 0xFF);
    cursor_ += 3;
    HRESULT hr = readInto(rest);
    if (Failed(hr)) return hr;
    return Send(kOpPutFinal, timeoutMs);
}

} // namespace obex
