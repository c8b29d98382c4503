#pragma once
// The Sublime side played by a test thread: creates the two Lime buffers under a fresh id,
// points SUBLIME_PROC_ID at them, and lets the test read request records and write replies
// byte for byte.
#include <cstdint>
#include <string>
#include <vector>

#include "sublimeio.h"

namespace limetest {

struct Request {
    int32_t threadId = 0;
    std::vector<uint8_t> payload;
};

// Big-endian builders for expected payloads and replies.
class Bytes {
public:
    Bytes& Int(int32_t value);
    Bytes& Long(int64_t value);
    Bytes& Double(double value);
    Bytes& Raw(const std::string& text);
    const std::vector<uint8_t>& Get() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

class FakeSublime {
public:
    FakeSublime();
    // Ends the client connection (EndLime) and destroys both buffers.
    ~FakeSublime();

    // The next request record; false when the call buffer is closed.
    bool Next(Request* request);
    void Reply(int32_t threadId, const std::vector<uint8_t>& payload);
    // A reply record whose length word says length, whatever the payload holds.
    void RawReply(int32_t threadId, int32_t length, const std::vector<uint8_t>& payload);
    // Answers the next request, which must be a lookup, with these types.
    void AnswerLookup(int32_t functionId, const std::vector<int32_t>& argTypes, int32_t returnType);

    int32_t id() const { return id_; }
    SharedBuffer* call() { return call_; }
    SharedBuffer* ret() { return ret_; }

private:
    int32_t id_;
    SharedBuffer* call_;
    SharedBuffer* ret_;
};

} // namespace limetest
