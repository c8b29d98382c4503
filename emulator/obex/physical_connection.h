#pragma once
// One connection to the module's file system per port: a worker thread runs queued requests one
// at a time, connects on demand and disconnects after 4000 ms without requests. The process-wide
// registry hands out one connection per port.
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "obex/obex_connection.h"
#include "obex/obex_types.h"
#include "platform/clock.h"

namespace obex {

inline constexpr uint32_t kIdleDisconnectMs = 4000;
inline constexpr int kConnectionTypeSerial = 2;

// What a connection needs from the outside world: the port, the transport on it and the
// operation layer. Tests replace it; the default one talks to a serial device.
class ConnectionEnvironment {
public:
    virtual ~ConnectionEnvironment() = default;
    virtual platform::Clock& Clock() = 0;
    virtual std::unique_ptr<IObex2> MakeOperations() = 0;
    // Opens the port handle (an open one is reused): 0x8004A001 or 0x8004A002 on failure.
    virtual HRESULT OpenPort(const std::string& portName) = 0;
    virtual void ClosePort() = 0;
    virtual std::unique_ptr<ITransportLayer> MakeTransport() = 0;
};

using EnvironmentFactory = std::function<std::unique_ptr<ConnectionEnvironment>()>;
std::unique_ptr<ConnectionEnvironment> MakeSerialEnvironment();

class CPhysicalConnection;

// The outcome of a request: its HRESULT and, for failures, a message text.
struct ResultData {
    HRESULT result = kOk;
    std::string message;
    // Cancelled requests are reported as aborted ones.
    void Record(HRESULT hr);
};

enum RequestType { kRequestDelete = 3, kRequestPut = 12, kRequestQuit = 18 };

class Request : public ResultData {
public:
    Request(CPhysicalConnection& connection, int type) : connection_(connection), type_(type) {}
    void SetPath(const std::u16string& path) { path_ = path; }
    void SetStream(std::shared_ptr<IStream> stream, uint32_t attributes) {
        stream_ = std::move(stream);
        attributes_ = attributes;
    }
    void Enqueue();
    void Wait();
    HRESULT TakeResult() { return result; }

private:
    friend class CPhysicalConnection;
    void Done();

    CPhysicalConnection& connection_;
    int type_;
    std::u16string path_;
    std::shared_ptr<IStream> stream_;
    uint32_t attributes_ = 0;
    int session_ = 0;
    std::mutex doneMutex_;
    std::condition_variable doneSignal_;
    bool done_ = false;
};

class CPhysicalConnection {
public:
    CPhysicalConnection(std::string portName, uint32_t baudRate, std::unique_ptr<ConnectionEnvironment> environment);
    ~CPhysicalConnection();
    CPhysicalConnection(const CPhysicalConnection&) = delete;
    CPhysicalConnection& operator=(const CPhysicalConnection&) = delete;

    HRESULT Start(int type);
    bool Started() const { return proxy_ != nullptr; }
    HRESULT Connect(int* session, bool irmc);
    HRESULT Disconnect(int session, bool closeHandle);
    // The drive count, read under the connection lock from the caller's thread.
    HRESULT DriveCount(int* count);
    ObexConnection* Proxy() { return proxy_.get(); }
    const std::string& PortName() const { return portName_; }
    const std::string& Model() const { return model_; }
    HRESULT LastResult() const { return lastResult_; }

private:
    friend class Request;
    void Enqueue(Request* request);
    void Worker();
    void Execute(Request& request);
    HRESULT ExecutePut(Request& request);
    void DropTransport();
    // DropTransport and close the port handle, so the next connect reopens the port.
    void DropLink();

    std::string portName_;
    uint32_t baudRate_;
    std::unique_ptr<ConnectionEnvironment> environment_;
    platform::Clock& clock_;
    int type_ = 0;
    std::string model_;
    HRESULT lastResult_ = kOk;
    std::unique_ptr<ObexConnection> proxy_;
    std::unique_ptr<ITransportLayer> transport_;
    std::mutex lock_; // the connection's objects during connect and disconnect

    std::deque<Request*> queue_; // guarded by the process-wide request lock
    std::condition_variable queued_;
    std::thread worker_;
    bool idleArmed_ = false;
    uint32_t lastRequestTick_ = 0;
};

// One connection per type and port name.
class ConnectionRegistry {
public:
    static ConnectionRegistry& Instance();
    HRESULT Get(CPhysicalConnection** connection, int type, const std::string& portName, uint32_t baudRate);
    HRESULT Release(CPhysicalConnection* connection);
    // Replaces how new connections reach the module (null restores the serial one).
    void SetEnvironmentFactory(EnvironmentFactory factory);
    std::size_t Size();

private:
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<CPhysicalConnection>> connections_;
    EnvironmentFactory factory_;
};

} // namespace obex
