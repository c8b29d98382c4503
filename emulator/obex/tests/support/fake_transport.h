#pragma once
// A transport that records every request packet and answers from a script, for exact tests of
// the OBEX engine.
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "obex/obex_types.h"

namespace obextest {

class FakeTransport : public obex::ITransportLayer {
public:
    std::vector<std::string> requests;
    std::deque<std::string> responses;
    int drives = 1;
    std::string model;

    obex::HRESULT Open(const std::string&, uint32_t) override { return obex::kOk; }
    obex::HRESULT Close() override { return obex::kOk; }
    obex::HRESULT LeaveObexMode() override { return obex::kOk; }
    obex::HRESULT Transact(uint8_t* buffer, std::size_t* length, uint32_t, std::size_t capacity) override {
        requests.emplace_back(reinterpret_cast<const char*>(buffer), *length);
        if (responses.empty()) {
            *length = 0;
            return obex::kLinkFailure;
        }
        std::string r = responses.front();
        responses.pop_front();
        if (r.size() > capacity) return obex::kInvalidArg;
        std::memcpy(buffer, r.data(), r.size());
        *length = r.size();
        return obex::kOk;
    }
    obex::HRESULT Model(std::string* text) override {
        if (model.empty()) return obex::kNotImplemented;
        *text = model;
        return obex::kOk;
    }
    obex::HRESULT DriveCount(int* count) override {
        *count = drives;
        return obex::kOk;
    }
    // Answers the next n requests with a bare OK.
    void Ok(int n = 1) {
        for (int i = 0; i < n; ++i) responses.push_back(std::string("\xA0\x00\x03", 3));
    }
};

// Bytes from a hex text with optional blanks ("80 00 1A").
std::string Bytes(const std::string& hex);
// A response packet: code, its length and the given header bytes.
std::string Response(uint8_t code, const std::string& headers);
// A UTF-16BE Name header of an ASCII text.
std::string NameHeader(const std::string& ascii);

} // namespace obextest
