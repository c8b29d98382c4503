// The OBEX engine against a module whose answers are the fuzzer's bytes: each answer is a 16-bit
// count and that many bytes, handed over as one received packet. After a CONNECT the input
// chooses the operations: folder listings, GETs into a sink, folder changes, PUTs, DISCONNECT.
#include <cstring>

#include "obex/hresult.h"
#include "obex/obex_helpers.h"
#include "support/fuzz_input.h"

namespace {

class FuzzTransport : public obex::ITransportLayer {
public:
    explicit FuzzTransport(fuzzsupport::FuzzInput& input) : input_(input) {}
    obex::HRESULT Open(const std::string&, uint32_t) override { return obex::kOk; }
    obex::HRESULT Close() override { return obex::kOk; }
    obex::HRESULT LeaveObexMode() override { return obex::kOk; }
    obex::HRESULT Transact(uint8_t* buffer, std::size_t* length, uint32_t, std::size_t capacity) override {
        if (input_.Empty()) {
            *length = 0;
            return obex::kLinkFailure;
        }
        const std::string answer = input_.Bytes(input_.Word());
        if (answer.size() > capacity) {
            *length = 0;
            return obex::kLinkFailure;
        }
        std::memcpy(buffer, answer.data(), answer.size());
        *length = answer.size();
        return obex::kOk;
    }
    obex::HRESULT Model(std::string* text) override {
        *text = "model";
        return obex::kOk;
    }
    obex::HRESULT DriveCount(int* count) override {
        *count = 1;
        return obex::kOk;
    }

private:
    fuzzsupport::FuzzInput& input_;
};

class CountingSink : public obex::IObexStream {
public:
    obex::HRESULT Write(const uint8_t*, std::size_t length) override {
        received += length;
        return received > (1u << 20) ? obex::kOutOfMemory : obex::kOk;
    }
    std::size_t received = 0;
};

class PatternStream : public obex::IStream {
public:
    explicit PatternStream(uint32_t size) : size_(size) {}
    obex::HRESULT Read(void* buffer, uint32_t count, uint32_t* read) override {
        const uint32_t n = std::min(count, size_ - position_);
        std::memset(buffer, 'x', n);
        position_ += n;
        *read = n;
        return obex::kOk;
    }
    obex::HRESULT Seek(int64_t, int, uint64_t*) override { return obex::kOk; }
    obex::HRESULT Stat(obex::StreamStat* stat) override {
        stat->size = size_;
        return obex::kOk;
    }

private:
    uint32_t size_;
    uint32_t position_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::Quiet();
    fuzzsupport::FuzzInput input(data, size);
    const uint8_t flags = input.Byte();
    FuzzTransport transport(input);
    obex::OBEXHelpers engine;
    engine.Attach(&transport);
    int session = 0;
    if (obex::Failed(engine.Connect(&session, (flags & 1) != 0))) {
        return 0;
    }
    for (int step = 0; step < 16 && !input.Empty(); ++step) {
        switch (input.Byte() % 6) {
        case 0: {
            obex::FileList list;
            engine.BeginPacket();
            (void)engine.GetFolderListing(&list);
            break;
        }
        case 1: {
            CountingSink sink;
            engine.BeginPacket();
            (void)engine.GetIntoSink(sink, 1000);
            break;
        }
        case 2:
            (void)engine.SetPath(session, u"a:/java/jam/example", obex::kOpSetPath, (flags & 2) != 0);
            break;
        case 3: {
            engine.BeginPacket();
            const uint32_t length = input.Word();
            PatternStream stream(length);
            const std::u16string name = u"app.jar";
            (void)engine.PutName(&name, obex::kOpPut);
            (void)engine.PutBody(length, stream, 1000);
            break;
        }
        case 4: {
            std::size_t position = 0;
            uint32_t value = 0;
            (void)engine.FindHeader(input.Byte(), &position, &value);
            break;
        }
        default:
            (void)engine.Disconnect();
            return 0;
        }
    }
    return 0;
}
