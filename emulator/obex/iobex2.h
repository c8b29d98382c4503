#pragma once
// The module file-system operations. OBEXCom implements them on the packet engine;
// ObexConnection is the proxy in front of it that keeps sessions and the folder cache.
#include <cstdint>
#include <memory>
#include <string>

#include "obex/obex_types.h"

namespace obex {

class IObex2 {
public:
    virtual ~IObex2() = default;
    virtual HRESULT Copy(int session, const std::u16string& destination, const std::u16string& source) = 0;
    virtual HRESULT CreateFolder(int session, const std::u16string& path) = 0;
    virtual HRESULT DeleteFile(int session, const std::u16string& path) = 0;
    virtual HRESULT List(int session, const std::u16string& path, FileList* list) = 0;
    virtual HRESULT Disconnect(int session, bool keep) = 0;
    virtual HRESULT CloseTransport() = 0;
    virtual HRESULT DriveCommand(int session, const std::u16string& path, const std::u16string* argument) = 0;
    virtual HRESULT QueryText(int session, const std::u16string& path, std::u16string* text, uint8_t selector) = 0;
    virtual HRESULT QueryValue(int session, const std::u16string& path, uint32_t* value, uint8_t selector) = 0;
    virtual HRESULT QueryWord(int session, const std::u16string& path, uint32_t value, uint16_t* word) = 0;
    virtual HRESULT GetFile(int session, const std::u16string& path, IObexStream& sink, uint8_t option) = 0;
    virtual HRESULT Move(int session, const std::u16string& destination, const std::u16string& source) = 0;
    virtual HRESULT MoveFolder(int session, const std::u16string& destination, const std::u16string& source) = 0;
    virtual HRESULT PutFile(int session, const std::u16string& path, std::shared_ptr<IStream> stream, uint32_t size,
                            uint32_t attributes, double created, double accessed, double modified) = 0;
    virtual HRESULT DeleteFolder(int session, const std::u16string& path) = 0;
    virtual HRESULT SetText(int session, const std::u16string& path, const std::u16string& text, uint8_t selector) = 0;
    virtual HRESULT SetAttributes(int session, const std::u16string& path, uint32_t attributes) = 0;
    virtual HRESULT SetTimes(int session, const std::u16string& path, double created, double accessed, double modified) = 0;
    virtual HRESULT OpenPort(const std::string& portName, uint32_t baudRate) = 0;
    virtual HRESULT Connect(int* session, bool irmc) = 0;
    virtual HRESULT Attach(ITransportLayer* transport) = 0;
    // Copies the module model into text (at most size - 1 characters).
    virtual HRESULT GetModel(std::string* text, std::size_t size) = 0;
    virtual HRESULT GetDriveCount(int* count) = 0;
};

} // namespace obex
