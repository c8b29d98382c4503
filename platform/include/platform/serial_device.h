#pragma once
// Serial devices: the one abstraction that both serial layers of the emulator (the AT channel and
// the OBEX transport's port object) and the module simulator's tests sit on.
//
// A port is named in one of three ways:
//   - a native device path ("/dev/ttyACM0", "/dev/serial/by-id/..."; "COM5" on Windows): settings,
//     time-outs and modem lines work as on any serial driver;
//   - a pseudo-terminal ("/dev/pts/3"): data only; every modem-line call reports failure, because a
//     pty has no modem lines;
//   - "rfc2217://HOST:PORT": a network serial port (Telnet Com Port Control). Settings, DTR/RTS,
//     purge and CTS travel over TCP.
// Names are used exactly as given: never shortened, never case-folded. On Windows a native name
// such as "COM5" is opened as the device "\\.\COM5"; Linux ptys have no Windows counterpart.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class SerialParity { None, Odd, Even, Mark, Space };
enum class SerialStopBits { One, OnePointFive, Two };

// How the PC drives DTR and RTS: fixed off, fixed on, or by the driver as handshake.
enum class SerialLineMode { Off, On, Handshake };

// The device control block as a value: frame format, rate and flow control.
struct SerialSettings {
    uint32_t baudRate = 9600;
    int dataBits = 8; // 5..8
    SerialParity parity = SerialParity::None;
    SerialStopBits stopBits = SerialStopBits::One;
    SerialLineMode dtr = SerialLineMode::On;
    SerialLineMode rts = SerialLineMode::On;
    bool ctsOutputFlow = false; // the PC sends only while CTS is on
    bool xonXoff = false;

    bool operator==(const SerialSettings&) const = default;
};

// Read and write time-outs. A read returns at once with whatever bytes are waiting; when none are
// waiting it waits up to readFirstByteMs for the first one (0: never waits). A write gives up after
// writeTotalMs and reports the bytes it got out (0: waits as long as it takes).
struct SerialTimeouts {
    uint32_t readFirstByteMs = 0;
    uint32_t writeTotalMs = 0;

    bool operator==(const SerialTimeouts&) const = default;
};

// What Purge discards: bytes received and not yet read, bytes written and not yet sent.
enum class SerialPurge { Receive = 1, Transmit = 2, Both = 3 };

struct SerialModemStatus {
    bool cts = false;
    bool dsr = false;
    bool ring = false;
    bool carrier = false;
};

// Which backend serves a device.
enum class SerialKind { Native, Pty, Network };

// True for names of the form "rfc2217://HOST:PORT".
bool IsNetworkPortName(const std::string& name);

// Splits "rfc2217://HOST:PORT" into host and port. False when the name is not of that form
// (no host, a port that is not a number in 1..65535, anything after the port).
bool ParseNetworkPortName(const std::string& name, std::string* host, uint16_t* port);

// The Windows device path of a native port name: "\\.\" + name, so "COM5" and "COM12" both open
// (the bare name reaches only COM1 to COM9). A name that already is a device path ("\\.\COM5")
// is kept. False for an empty name or a path longer than the 259 characters Win32 accepts.
bool Win32DevicePath(const std::string& name, std::string* path);

// The baud rates every backend accepts (9600 ... 921600 and the usual lower ones). A rate outside
// this list is refused by Configure with an "invalid argument" error.
bool IsSupportedBaudRate(uint32_t baudRate);

class SerialDevice {
public:
    // Opens a port for exclusive use (no other process can open it while this object lives).
    // Returns null on failure and sets *error to the OS error code: errno on POSIX, the
    // GetLastError / WSAGetLastError value on Windows. A missing device gives ENOENT on POSIX and
    // ERROR_FILE_NOT_FOUND (2) on Windows, a port in use EBUSY / ERROR_ACCESS_DENIED (5), a
    // network port nobody serves ECONNREFUSED / WSAECONNREFUSED (10061), a malformed rfc2217
    // name EINVAL / ERROR_INVALID_PARAMETER (87). Opening does not change any setting.
    static std::unique_ptr<SerialDevice> Open(const std::string& name, int* error);

    virtual ~SerialDevice() = default;

    virtual SerialKind Kind() const = 0;
    virtual const std::string& Name() const = 0;

    // Reads the current settings (the values the driver or the server reports).
    virtual bool GetSettings(SerialSettings* settings) = 0;
    // Applies settings. False when the device refuses any of them (a network server that
    // acknowledges another baud rate than asked for refuses that rate).
    virtual bool SetSettings(const SerialSettings& settings) = 0;
    virtual bool SetTimeouts(const SerialTimeouts& timeouts) = 0;

    // Reads at most size bytes under the read time-out: the count (0 when nothing came), or -1 on
    // failure (the peer closed a network port, the device went away).
    virtual long Read(void* buffer, std::size_t size) = 0;
    // Writes under the write time-out: the bytes written (possibly fewer than size), or -1.
    virtual long Write(const void* data, std::size_t size) = 0;

    // Discards buffered data in the given direction(s).
    virtual bool Purge(SerialPurge what) = 0;
    // Clears the line's error state and any break condition.
    virtual bool ClearErrors() = 0;

    // Modem lines. On a pty these report failure with ENOTTY (Windows drivers without modem
    // lines report ERROR_NOT_SUPPORTED, 50).
    virtual bool GetModemStatus(SerialModemStatus* status) = 0;
    virtual bool SetDtr(bool on) = 0;
    virtual bool SetRts(bool on) = 0;

    // The OS error code of the last failing call (0 after a success).
    virtual int LastError() const = 0;
};

// The codes the backends report for failures that no single OS call names, in the OS's own
// numbering so that they read like every other code in a message.
namespace serial_error {
int InvalidArgument();   // EINVAL; ERROR_INVALID_PARAMETER on Windows
int NotSupported();      // ENOTTY; ERROR_NOT_SUPPORTED
int ConnectionReset();   // ECONNRESET; WSAECONNRESET
int TimedOut();          // ETIMEDOUT; WSAETIMEDOUT
int ProtocolError();     // EPROTO (the server never accepted the com-port option); ERROR_BAD_NET_RESP
} // namespace serial_error

// Opens devices by name. Code that opens ports takes an opener, so tests can hand it scripted
// devices; DefaultSerialOpener() opens real ones with SerialDevice::Open.
class SerialOpener {
public:
    virtual ~SerialOpener() = default;
    virtual std::unique_ptr<SerialDevice> Open(const std::string& name, int* error) = 0;
};

SerialOpener& DefaultSerialOpener();

} // namespace platform
