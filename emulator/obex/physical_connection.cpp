// The connection's worker thread, its request queue and the registry of connections.
#include "obex/physical_connection.h"

#include <algorithm>
#include <cstdio>

#include "obex/obex_com.h"
#include "obex/obex_encoding.h"

namespace obex {
namespace {

// One lock for every request queue: enqueue, the worker's look at the head, and unlink.
std::mutex& RequestLock() {
    static std::mutex lock;
    return lock;
}

// The longest real-time wait of an idle worker between looks at the clock, so that an injected
// clock that jumps ahead is noticed promptly.
constexpr uint32_t kIdleSliceMs = 25;

} // namespace

void ResultData::Record(HRESULT hr) {
    result = hr == kCancelled ? kRequestAborted : hr;
    if (Succeeded(result)) {
        message.clear();
        return;
    }
    switch (static_cast<uint32_t>(result)) {
    case 0x8004A001u: message = "The module's port is in use or access to it is denied."; break;
    case 0x8004A004u: message = "The module refused to switch into file transfer mode."; break;
    case 0x8004A002u: message = "The module's port could not be opened."; break;
    case 0x8004B001u: message = "The link to the module failed."; break;
    default: {
        char text[64];
        std::snprintf(text, sizeof(text), "File transfer error 0x%08X.", static_cast<unsigned>(result));
        message = text;
    }
    }
}

void Request::Enqueue() { connection_.Enqueue(this); }

void Request::Wait() {
    std::unique_lock<std::mutex> lock(doneMutex_);
    doneSignal_.wait(lock, [&] { return done_; });
}

void Request::Done() {
    std::lock_guard<std::mutex> lock(doneMutex_);
    done_ = true;
    doneSignal_.notify_all();
}

CPhysicalConnection::CPhysicalConnection(std::string portName, uint32_t baudRate,
                                         std::unique_ptr<ConnectionEnvironment> environment)
    : portName_(std::move(portName)), baudRate_(baudRate), environment_(std::move(environment)),
      clock_(environment_->Clock()) {}

HRESULT CPhysicalConnection::Start(int type) {
    type_ = type;
    try {
        proxy_ = std::make_unique<ObexConnection>(environment_->MakeOperations(), clock_);
        worker_ = std::thread([this] { Worker(); });
    } catch (const std::bad_alloc&) {
        proxy_.reset();
        return kOutOfMemory;
    } catch (const std::system_error&) {
        proxy_.reset();
        return kUnexpected;
    }
    return kOk;
}

CPhysicalConnection::~CPhysicalConnection() {
    if (worker_.joinable()) {
        Request quit(*this, kRequestQuit);
        quit.Enqueue();
        worker_.join();
    }
    proxy_.reset();
    transport_.reset();
    environment_->ClosePort();
}

void CPhysicalConnection::Enqueue(Request* request) {
    std::lock_guard<std::mutex> lock(RequestLock());
    queue_.push_back(request);
    queued_.notify_one();
}

HRESULT CPhysicalConnection::Connect(int* session, bool irmc) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!proxy_) return kUnexpected;
    if (!proxy_->IsConnected()) {
        if (type_ != kConnectionTypeSerial) return kInvalidArg;
        if (transport_) {
            // A link failure ended the session but left the transport: the module may still be
            // in OBEX mode, where it hears no AT command, and the port may have gone away. The
            // new connect starts from the start: leave OBEX mode, reopen the port, switch again.
            DropLink();
        }
        HRESULT hr = environment_->OpenPort(portName_);
        if (Failed(hr)) return hr;
        transport_ = environment_->MakeTransport();
        proxy_->Attach(transport_.get());
        hr = proxy_->OpenPort(portName_, baudRate_);
        if (Failed(hr)) {
            DropLink();
            return hr;
        }
    }
    HRESULT hr = proxy_->Connect(session, irmc);
    if (Failed(hr)) {
        DropLink();
        return hr;
    }
    if (model_.empty()) {
        std::string model;
        hr = proxy_->GetModel(&model, 20);
        if (Failed(hr)) {
            DropLink();
            return hr;
        }
        model_ = model;
    }
    return kOk;
}

void CPhysicalConnection::DropTransport() {
    proxy_->CloseTransport();
    proxy_->Attach(nullptr); // the engine must not keep a pointer to the transport that goes
    transport_.reset();
}

void CPhysicalConnection::DropLink() {
    DropTransport();
    // A port that failed may be dead (a dropped network link, an unplugged USB port): the next
    // connect opens it afresh instead of reusing the handle.
    environment_->ClosePort();
}

HRESULT CPhysicalConnection::Disconnect(int session, bool closeHandle) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!proxy_) return kUnexpected;
    HRESULT hr = proxy_->Disconnect(session, false);
    if (Succeeded(hr) && !proxy_->IsConnected()) {
        hr = proxy_->CloseTransport();
        if (Succeeded(hr)) {
            proxy_->Attach(nullptr);
            transport_.reset();
            if (closeHandle) environment_->ClosePort();
        }
    }
    return hr;
}

HRESULT CPhysicalConnection::DriveCount(int* count) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!proxy_) return kLinkFailure;
    return proxy_->GetDriveCount(count);
}

void CPhysicalConnection::Worker() {
    for (;;) {
        Request* request = nullptr;
        {
            std::unique_lock<std::mutex> lock(RequestLock());
            while (queue_.empty()) {
                if (idleArmed_ && proxy_->IsConnected()) {
                    uint32_t idle = clock_.TickCount() - lastRequestTick_;
                    if (idle >= kIdleDisconnectMs) {
                        idleArmed_ = false;
                        lock.unlock();
                        Disconnect(proxy_->CurrentSession(), true);
                        lock.lock();
                        continue;
                    }
                    uint32_t wait = std::min(kIdleDisconnectMs - idle, kIdleSliceMs);
                    queued_.wait_for(lock, std::chrono::milliseconds(wait));
                } else {
                    queued_.wait(lock);
                }
            }
            request = queue_.front();
        }
        if (request->type_ == kRequestQuit) {
            {
                std::lock_guard<std::mutex> lock(RequestLock());
                queue_.pop_front();
            }
            request->Done();
            return;
        }
        HRESULT hr = kOk;
        if (!proxy_->IsConnected()) {
            int session = 0;
            hr = Connect(&session, false);
        }
        // A session opened from the facade's thread gets the idle time-out as well.
        if (Succeeded(hr) && proxy_->CurrentSession() == 1) idleArmed_ = true;
        lastResult_ = hr;
        if (Failed(hr)) {
            request->stream_.reset();
            request->Record(hr);
        } else {
            request->session_ = proxy_->CurrentSession();
            Execute(*request);
            lastRequestTick_ = clock_.TickCount();
        }
        {
            std::lock_guard<std::mutex> lock(RequestLock());
            queue_.pop_front();
        }
        request->Done();
    }
}

void CPhysicalConnection::Execute(Request& request) {
    if (request.type_ == kRequestDelete) {
        request.Record(proxy_->DeleteFile(request.session_, request.path_));
    } else if (request.type_ == kRequestPut) {
        request.Record(ExecutePut(request));
    } else {
        request.Record(kInvalidArg);
    }
}

HRESULT CPhysicalConnection::ExecutePut(Request& request) {
    std::shared_ptr<IStream> stream = std::move(request.stream_);
    if (!stream) return kPointer;
    HRESULT hr = stream->Seek(0, static_cast<int>(SeekOrigin::Set), nullptr);
    if (Failed(hr)) return hr;
    StreamStat stat;
    hr = stream->Stat(&stat);
    if (Failed(hr)) return hr;
    if (stat.size >= (uint64_t{1} << 32)) return kInvalidArg;
    double date = FileTimeToOleDate(stat.modified);
    const std::u16string& path = request.path_;
    bool checkExisting = !IsTelecomPath(path) && !(path.size() > 1 && path[1] == u'>');
    if (checkExisting) {
        FileList existing;
        hr = proxy_->List(request.session_, path, &existing);
        if (Failed(hr)) return hr;
        if (!existing.empty()) return kAlreadyExists;
    }
    hr = proxy_->PutFile(request.session_, path, stream, static_cast<uint32_t>(stat.size), request.attributes_, date,
                         date, date);
    if (hr == kMediumFull) {
        proxy_->DeleteFile(request.session_, path); // best effort: no partial file stays behind
    }
    return hr;
}

// ---- registry ----

ConnectionRegistry& ConnectionRegistry::Instance() {
    static ConnectionRegistry registry;
    return registry;
}

void ConnectionRegistry::SetEnvironmentFactory(EnvironmentFactory factory) {
    std::lock_guard<std::mutex> lock(mutex_);
    factory_ = std::move(factory);
}

std::size_t ConnectionRegistry::Size() {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_.size();
}

HRESULT ConnectionRegistry::Get(CPhysicalConnection** connection, int type, const std::string& portName, uint32_t baudRate) {
    if (connection == nullptr) return kInvalidArg;
    std::lock_guard<std::mutex> lock(mutex_);
    // Port names are kept whole: device paths and rfc2217:// names are longer than COM names.
    std::string key = std::to_string(type) + "-" + portName;
    auto it = connections_.find(key);
    if (it != connections_.end()) {
        HRESULT hr = it->second->Started() ? kOk : it->second->Start(type);
        *connection = it->second.get();
        return hr;
    }
    try {
        auto created = std::make_unique<CPhysicalConnection>(portName, baudRate, factory_ ? factory_() : MakeSerialEnvironment());
        HRESULT hr = created->Start(type);
        *connection = created.get();
        connections_.emplace(key, std::move(created));
        return hr;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

HRESULT ConnectionRegistry::Release(CPhysicalConnection* connection) {
    std::unique_ptr<CPhysicalConnection> doomed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = std::find_if(connections_.begin(), connections_.end(),
                               [&](const auto& entry) { return entry.second.get() == connection; });
        if (it == connections_.end()) return kUnexpected;
        doomed = std::move(it->second);
        connections_.erase(it);
    }
    doomed.reset(); // the worker finishes what is queued first
    return kOk;
}

} // namespace obex
