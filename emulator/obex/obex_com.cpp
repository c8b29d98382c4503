// The file-system operations on the OBEX engine.
#include "obex/obex_com.h"

#include <algorithm>
#include <cstring>

#include "obex/obex_encoding.h"

namespace obex {
namespace {

constexpr uint32_t kLongTimeoutMs = 300000;
constexpr uint32_t kCopyTimeoutMs = 2000000;
constexpr uint32_t kMessageTimeoutMs = 140000;
constexpr std::size_t kModelCacheSize = 40;
constexpr std::size_t kDeviceInfoSize = 400;

std::u16string StripDrive(const std::u16string& path) {
    if (path.size() >= 2 && path[1] == u':') return path.substr(2);
    return path;
}

bool ValidEnginePath(const std::u16string& path) {
    std::u16string trimmed = path;
    while (!trimmed.empty() && (trimmed.back() == u'\\' || trimmed.back() == u'*')) trimmed.pop_back();
    bool drive = trimmed.size() >= 2 && trimmed[1] == u':';
    return trimmed.size() <= 127 && (drive || trimmed.size() <= 125) && path.find(u'/') == std::u16string::npos;
}

void CopyOut(const std::string& value, std::string* text, std::size_t size) {
    if (text == nullptr) return;
    *text = size == 0 ? std::string() : value.substr(0, size - 1);
}

} // namespace

std::u16string PathComponent(const std::u16string& path, std::size_t index) {
    std::u16string rest = StripDrive(path);
    std::size_t pos = 0;
    std::size_t found = 0;
    while (pos <= rest.size()) {
        while (pos < rest.size() && rest[pos] == u'\\') ++pos;
        if (pos >= rest.size()) break;
        std::size_t end = rest.find(u'\\', pos);
        if (end == std::u16string::npos) end = rest.size();
        if (found == index) return rest.substr(pos, end - pos);
        ++found;
        pos = end;
    }
    return std::u16string();
}

bool IsTelecomPath(const std::u16string& path) { return EqualsNoCase(PathComponent(path, 0), u"telecom"); }

HRESULT CGetFileBuffer::Write(const uint8_t* data, std::size_t length) {
    if (content_.size() + length > capacity_) {
        return kInvalidArg;
    }
    content_.insert(content_.end(), data, data + length);
    return kOk;
}

HRESULT OBEXCom::Finish(HRESULT hr) {
    if (engine_) engine_->BeginPacket();
    return FoldResult(hr);
}

bool OBEXCom::MultiDrive() {
    int count = 0;
    return Succeeded(engine_->TransportDriveCount(&count)) && count > 1;
}

HRESULT OBEXCom::CopyOrMove(int, const std::u16string& destination, const std::u16string& source, const char* action) {
    if (!engine_) return kUnexpected;
    if (!ValidEnginePath(destination) || !ValidEnginePath(source)) return Finish(kInvalidArg);
    auto slashes = [](std::u16string p) {
        if (p.size() > 127) p.resize(127);
        std::replace(p.begin(), p.end(), u'\\', u'/');
        return p;
    };
    HRESULT hr = engine_->PutActionParameters(action, slashes(source), slashes(destination), kOpPutFinalAlias);
    if (Succeeded(hr)) hr = engine_->Send(kOpPutFinalAlias, kCopyTimeoutMs);
    return Finish(hr);
}

HRESULT OBEXCom::Copy(int s, const std::u16string& d, const std::u16string& src) { return CopyOrMove(s, d, src, "copy"); }
HRESULT OBEXCom::Move(int s, const std::u16string& d, const std::u16string& src) { return CopyOrMove(s, d, src, "move"); }
HRESULT OBEXCom::MoveFolder(int s, const std::u16string& d, const std::u16string& src) { return Move(s, d, src); }

HRESULT OBEXCom::CreateFolder(int session, const std::u16string& path) {
    if (!engine_) return kUnexpected;
    return Finish(engine_->SetPath(session, path, 5, true));
}

HRESULT OBEXCom::DeleteFile(int session, const std::u16string& path) {
    if (!engine_) return kUnexpected;
    HRESULT hr = engine_->SetPath(session, path, 2, false);
    if (Succeeded(hr)) hr = engine_->Send(kOpPutFinalAlias, kDefaultTimeoutMs);
    return Finish(hr);
}

HRESULT OBEXCom::DeleteFolder(int session, const std::u16string& path) { return DeleteFile(session, path); }

HRESULT OBEXCom::List(int session, const std::u16string& path, FileList* list) {
    if (!engine_) return kUnexpected;
    HRESULT hr = engine_->SetPath(session, path, 3, false);
    if (Succeeded(hr)) hr = engine_->PutType("x-obex/folder-listing", kOpGetFinal);
    if (Succeeded(hr)) hr = engine_->GetFolderListing(list);
    return Finish(hr);
}

HRESULT OBEXCom::Disconnect(int, bool keep) {
    if (!engine_) return kUnexpected;
    HRESULT hr = keep ? kOk : engine_->Disconnect();
    modelCache_.clear();
    return Finish(hr);
}

HRESULT OBEXCom::CloseTransport() {
    if (!engine_) return kUnexpected;
    return Finish(engine_->CloseTransport());
}

HRESULT OBEXCom::DriveCommand(int session, const std::u16string& path, const std::u16string* argument) {
    if (!engine_) return kUnexpected;
    HRESULT hr = kOk;
    if (MultiDrive()) hr = engine_->SetPath(session, path, 2, false);
    if (Succeeded(hr)) {
        if (argument != nullptr && *argument == u"StdDirs") {
            hr = engine_->PutByteTextParameter(0x33, std::string(), kOpPutFinalAlias);
        } else {
            hr = engine_->PutWideParameter(0x31, argument, kOpPutFinalAlias);
        }
    }
    if (Succeeded(hr)) hr = engine_->Send(kOpPutFinal, kLongTimeoutMs);
    return Finish(hr);
}

HRESULT OBEXCom::RequestSetting(int session, const std::u16string& path, uint8_t selector) {
    HRESULT hr = kOk;
    if (MultiDrive()) hr = engine_->SetPath(session, path, 3, false);
    if (Succeeded(hr)) hr = engine_->PutByteParameter(0x32, selector, kOpGetFinal);
    if (Succeeded(hr)) hr = engine_->Send(kOpGetFinal, kDefaultTimeoutMs);
    return hr;
}

HRESULT OBEXCom::QueryText(int session, const std::u16string& path, std::u16string* text, uint8_t selector) {
    if (!engine_) return kUnexpected;
    HRESULT hr = RequestSetting(session, path, selector);
    if (Succeeded(hr)) {
        std::size_t pos = 0;
        HRESULT length = engine_->FindHeader(kHiName, &pos);
        std::u16string value;
        for (HRESULT i = 0; length > 0 && i + 1 < length; i += 2) {
            const uint8_t* p = engine_->Response() + pos + i;
            char16_t c = static_cast<char16_t>((p[0] << 8) | p[1]);
            if (c == 0) break;
            value.push_back(c);
        }
        if (text) *text = value;
    }
    return Finish(hr);
}

HRESULT OBEXCom::QueryValue(int session, const std::u16string& path, uint32_t* value, uint8_t selector) {
    if (!engine_) return kUnexpected;
    HRESULT hr = RequestSetting(session, path, selector);
    if (Succeeded(hr)) {
        std::size_t pos = 0;
        HRESULT length = engine_->FindHeader(kHiAppParameters, &pos);
        if (length < 6) return Finish(kFail);
        const uint8_t* p = engine_->Response() + pos + 2;
        if (value) *value = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
    }
    return Finish(hr);
}

HRESULT OBEXCom::QueryWord(int session, const std::u16string& path, uint32_t value, uint16_t* word) {
    if (!engine_) return kUnexpected;
    HRESULT hr = engine_->SetPath(session, path, 3, false);
    if (Succeeded(hr)) hr = engine_->PutByteParameter(0x39, value, kOpGetFinal);
    if (Succeeded(hr)) hr = engine_->Send(kOpGetFinal, kDefaultTimeoutMs + value * 70 / 1000);
    if (Succeeded(hr)) {
        std::size_t pos = 0;
        HRESULT length = engine_->FindHeader(kHiAppParameters, &pos);
        if (length < 4) return Finish(kFail);
        const uint8_t* p = engine_->Response() + pos + 2;
        if (word) *word = static_cast<uint16_t>((p[0] << 8) | p[1]);
    }
    return Finish(hr);
}

HRESULT OBEXCom::GetFile(int session, const std::u16string& path, IObexStream& sink, uint8_t option) {
    if (!engine_) return kUnexpected;
    HRESULT hr = engine_->SetPath(session, path, 3, false);
    if (Succeeded(hr) && option != 0) hr = engine_->PutByteParameter(0x37, option, kOpGetFinal);
    if (Succeeded(hr)) {
        bool slow = IsTelecomPath(path) || EqualsNoCase(PathComponent(path, 1), u"msg");
        hr = engine_->GetIntoSink(sink, slow ? kMessageTimeoutMs : kDefaultTimeoutMs);
    }
    return Finish(hr);
}

HRESULT OBEXCom::PutFile(int session, const std::u16string& path, std::shared_ptr<IStream> stream, uint32_t size,
                         uint32_t attributes, double, double, double modified) {
    if (!engine_) return kUnexpected;
    if (!stream) return kPointer;
    HRESULT hr = engine_->SetPath(session, path, 2, false);
    if (Failed(hr)) return Finish(hr);
    engine_->Put4ByteHeader(kHiLength, size);
    bool telecom = IsTelecomPath(path);
    uint32_t timeout = kLongTimeoutMs;
    if (!telecom) {
        hr = engine_->PutTime(modified, 2);
        if (Failed(hr)) return Finish(hr);
        timeout = kDefaultTimeoutMs;
    }
    hr = engine_->PutBody(size, *stream, timeout);
    stream.reset();
    if (Failed(hr)) return Finish(hr);
    if (!telecom) {
        engine_->BeginPacket();
        return SetAttributes(session, path, attributes);
    }
    return Finish(hr);
}

HRESULT OBEXCom::SetText(int session, const std::u16string& path, const std::u16string& text, uint8_t selector) {
    if (!engine_) return kUnexpected;
    HRESULT hr = kOk;
    if (MultiDrive()) hr = engine_->SetPath(session, path, 2, false);
    if (Succeeded(hr)) hr = engine_->PutByteParameter(0x32, selector, kOpPutFinalAlias);
    if (Succeeded(hr)) hr = engine_->PutName(&text, 2);
    if (Succeeded(hr)) hr = engine_->Send(kOpPutFinal, kDefaultTimeoutMs);
    return Finish(hr);
}

HRESULT OBEXCom::SetAttributes(int session, const std::u16string& path, uint32_t attributes) {
    if (!engine_) return kUnexpected;
    HRESULT hr = engine_->SetPath(session, path, 2, false);
    std::string permissions = PermissionString(attributes).substr(0, 15);
    if (Succeeded(hr)) hr = engine_->PutByteTextParameter(0x38, permissions, kOpPutFinalAlias);
    if (Succeeded(hr)) hr = engine_->Send(kOpPutFinalAlias, kDefaultTimeoutMs);
    return Finish(hr);
}

HRESULT OBEXCom::SetTimes(int session, const std::u16string& path, double created, double accessed, double modified) {
    if (!engine_) return kUnexpected;
    HRESULT hr = engine_->SetPath(session, path, 2, false);
    if (Succeeded(hr)) hr = engine_->PutByteTextParameter(0x38, std::string(), kOpPutFinalAlias);
    for (double date : {created, modified, accessed}) {
        if (Succeeded(hr)) hr = engine_->PutTime(date, 2);
    }
    if (Succeeded(hr)) hr = engine_->Send(kOpPutFinalAlias, kDefaultTimeoutMs);
    return Finish(hr);
}

HRESULT OBEXCom::OpenPort(const std::string& portName, uint32_t baudRate) {
    if (!engine_) return kUnexpected;
    return Finish(engine_->OpenTransport(portName, baudRate));
}

HRESULT OBEXCom::Connect(int* session, bool irmc) {
    if (!engine_) return kUnexpected;
    return Finish(engine_->Connect(session, irmc));
}

HRESULT OBEXCom::Attach(ITransportLayer* transport) {
    try {
        if (!engine_) engine_ = std::make_unique<OBEXHelpers>(cancel_);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    engine_->Attach(transport);
    return kOk;
}

HRESULT OBEXCom::GetModel(std::string* text, std::size_t size) {
    if (!engine_) return kUnexpected;
    std::string model;
    HRESULT hr = engine_->TransportModel(&model);
    if (Succeeded(hr)) {
        modelCache_ = model.substr(0, kModelCacheSize - 1);
        CopyOut(model, text, size);
        return kOk;
    }
    if (hr != kNotImplemented && !model.empty()) {
        return hr;
    }
    if (!modelCache_.empty()) {
        CopyOut(modelCache_, text, size);
        return kOk;
    }
    CGetFileBuffer info(kDeviceInfoSize);
    hr = engine_->SetPath(0, u"\\telecom\\devinfo.txt", 3, false);
    if (Succeeded(hr)) hr = engine_->GetIntoSink(info, kDefaultTimeoutMs);
    engine_->BeginPacket();
    if (Failed(hr)) {
        modelCache_.clear();
        CopyOut(std::string(), text, size);
        return hr;
    }
    std::string content(info.Content().begin(), info.Content().end());
    std::size_t at = content.find("MOD:");
    std::string found;
    if (at != std::string::npos) {
        std::size_t end = content.find_first_of("\r\n", at + 4);
        found = content.substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
    }
    modelCache_ = found.substr(0, kModelCacheSize - 1);
    CopyOut(found, text, size);
    return kOk;
}

HRESULT OBEXCom::GetDriveCount(int* count) {
    if (!engine_) return kUnexpected;
    return engine_->TransportDriveCount(count);
}

} // namespace obex
