#include "fake_sublime.h"

#include <cstring>

#include "bytes.h"
#include "lime_test_support.h"
#include "platform/env.h"
#include "sublime.h"

namespace limetest {

Bytes& Bytes::Int(int32_t value) {
    uint8_t b[4];
    lime::StoreInt32(b, value);
    bytes_.insert(bytes_.end(), b, b + 4);
    return *this;
}

Bytes& Bytes::Long(int64_t value) {
    uint8_t b[8];
    lime::StoreInt64(b, value);
    bytes_.insert(bytes_.end(), b, b + 8);
    return *this;
}

Bytes& Bytes::Double(double value) { return Long(lime::DoubleBits(value)); }

Bytes& Bytes::Raw(const std::string& text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
}

FakeSublime::FakeSublime() : id_(UniqueProcessId()) {
    bufferId callId{id_, 0};
    bufferId returnId{id_, 1};
    call_ = SharedBufferCreate(&callId, kLimeBufferSize);
    ret_ = SharedBufferCreate(&returnId, kLimeBufferSize);
    platform::SetEnv("SUBLIME_PROC_ID", std::to_string(id_));
}

FakeSublime::~FakeSublime() {
    EndLime();
    SharedBufferDestroy(call_);
    SharedBufferDestroy(ret_);
}

bool FakeSublime::Next(Request* request) {
    int32_t length = 0;
    if (call_->readInt(call_, &request->threadId) != 0 || call_->readInt(call_, &length) != 0) {
        return false;
    }
    request->payload.resize(static_cast<size_t>(length));
    return call_->readFully(call_, request->payload.data(), length) == 0;
}

void FakeSublime::Reply(int32_t threadId, const std::vector<uint8_t>& payload) {
    RawReply(threadId, static_cast<int32_t>(payload.size()), payload);
}

void FakeSublime::RawReply(int32_t threadId, int32_t length, const std::vector<uint8_t>& payload) {
    ret_->writeInt(ret_, threadId);
    ret_->writeInt(ret_, length);
    ret_->writeFully(ret_, payload.data(), static_cast<int>(payload.size()));
    ret_->flush(ret_);
}

void FakeSublime::AnswerLookup(int32_t functionId, const std::vector<int32_t>& argTypes, int32_t returnType) {
    Request request;
    if (!Next(&request)) {
        return;
    }
    Bytes reply;
    reply.Int(functionId).Int(static_cast<int32_t>(argTypes.size()));
    for (int32_t code : argTypes) {
        reply.Int(code);
    }
    reply.Int(returnType);
    Reply(request.threadId, reply.Get());
}

} // namespace limetest
