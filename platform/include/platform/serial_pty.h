#pragma once
// The controlling side of a pseudo-terminal: the module simulator serves its module on one, and
// tests of the pty backend use one as the far end. The terminal side stays open in this object
// (in raw mode), so reads never fail while no program has the device open.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class PtyMaster {
public:
    // Creates a pty pair in raw mode. Null with *error set on failure.
    static std::unique_ptr<PtyMaster> Create(int* error);

    virtual ~PtyMaster() = default;
    // The terminal side's device path ("/dev/pts/N").
    virtual const std::string& DevicePath() const = 0;
    // Waits up to timeoutMs for data: bytes read, 0 on time-out, -1 on failure.
    virtual long Read(void* buffer, std::size_t size, uint32_t timeoutMs) = 0;
    // Writes all bytes; false on failure.
    virtual bool Write(const void* data, std::size_t size) = 0;
    // The rate the terminal side was last set to (0 when it has none that termios names).
    virtual uint32_t BaudRate() const = 0;
};

} // namespace platform
