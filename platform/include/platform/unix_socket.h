#pragma once
// Local stream sockets between processes of one machine (Unix domain sockets; AF_UNIX on
// Windows 10 and later). Used as a baseline for the shared-memory transports.
#include <cstddef>
#include <memory>
#include <string>

namespace platform {

class LocalStream {
public:
    // Connects to a listener at path. Null with *error set on failure.
    static std::unique_ptr<LocalStream> Connect(const std::string& path, int* error);

    virtual ~LocalStream() = default;
    // Sends or receives exactly size bytes; false when the peer went away or an error occurred.
    virtual bool SendAll(const void* bytes, size_t size) = 0;
    virtual bool ReceiveAll(void* bytes, size_t size) = 0;
};

class LocalListener {
public:
    // Listens at path (an existing socket file there is replaced). The file is removed when
    // the listener is destroyed. Null with *error set on failure.
    static std::unique_ptr<LocalListener> Listen(const std::string& path, int* error);

    virtual ~LocalListener() = default;
    // Waits for one connection. Null with *error set on failure.
    virtual std::unique_ptr<LocalStream> Accept(int* error) = 0;
};

} // namespace platform
