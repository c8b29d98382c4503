#pragma once
// File-system operations as fixed sequences of OBEX exchanges on the packet engine.
#include <memory>
#include <string>
#include <vector>

#include "obex/iobex2.h"
#include "obex/obex_helpers.h"

namespace obex {

// A sink of fixed capacity for small objects (the device information).
class CGetFileBuffer : public IObexStream {
public:
    explicit CGetFileBuffer(std::size_t capacity) : capacity_(capacity) {}
    HRESULT Write(const uint8_t* data, std::size_t length) override;
    const std::vector<uint8_t>& Content() const { return content_; }

private:
    std::size_t capacity_;
    std::vector<uint8_t> content_;
};

class OBEXCom : public IObex2 {
public:
    explicit OBEXCom(ICancelSignal* cancel = nullptr) : cancel_(cancel) {}

    HRESULT Copy(int session, const std::u16string& destination, const std::u16string& source) override;
    HRESULT CreateFolder(int session, const std::u16string& path) override;
    HRESULT DeleteFile(int session, const std::u16string& path) override;
    HRESULT List(int session, const std::u16string& path, FileList* list) override;
    HRESULT Disconnect(int session, bool keep) override;
    HRESULT CloseTransport() override;
    HRESULT DriveCommand(int session, const std::u16string& path, const std::u16string* argument) override;
    HRESULT QueryText(int session, const std::u16string& path, std::u16string* text, uint8_t selector) override;
    HRESULT QueryValue(int session, const std::u16string& path, uint32_t* value, uint8_t selector) override;
    HRESULT QueryWord(int session, const std::u16string& path, uint32_t value, uint16_t* word) override;
    HRESULT GetFile(int session, const std::u16string& path, IObexStream& sink, uint8_t option) override;
    HRESULT Move(int session, const std::u16string& destination, const std::u16string& source) override;
    HRESULT MoveFolder(int session, const std::u16string& destination, const std::u16string& source) override;
    HRESULT PutFile(int session, const std::u16string& path, std::shared_ptr<IStream> stream, uint32_t size,
                    uint32_t attributes, double created, double accessed, double modified) override;
    HRESULT DeleteFolder(int session, const std::u16string& path) override;
    HRESULT SetText(int session, const std::u16string& path, const std::u16string& text, uint8_t selector) override;
    HRESULT SetAttributes(int session, const std::u16string& path, uint32_t attributes) override;
    HRESULT SetTimes(int session, const std::u16string& path, double created, double accessed, double modified) override;
    HRESULT OpenPort(const std::string& portName, uint32_t baudRate) override;
    HRESULT Connect(int* session, bool irmc) override;
    HRESULT Attach(ITransportLayer* transport) override;
    HRESULT GetModel(std::string* text, std::size_t size) override;
    HRESULT GetDriveCount(int* count) override;

    OBEXHelpers* Engine() { return engine_.get(); }

private:
    HRESULT CopyOrMove(int session, const std::u16string& destination, const std::u16string& source, const char* action);
    // Ends an operation: the packet is reset and the result folded.
    HRESULT Finish(HRESULT hr);
    bool MultiDrive();
    // Asks for the setting named by selector (on the path's drive when there are several);
    // the answer is left in the engine's response.
    HRESULT RequestSetting(int session, const std::u16string& path, uint8_t selector);

    ICancelSignal* cancel_;
    std::unique_ptr<OBEXHelpers> engine_;
    std::string modelCache_; // at most 39 characters
};

// True when the first component of a module path (after any drive prefix) is "telecom".
bool IsTelecomPath(const std::u16string& path);
// The n-th component (0-based) of a module path, without a drive prefix.
std::u16string PathComponent(const std::u16string& path, std::size_t index);

} // namespace obex
