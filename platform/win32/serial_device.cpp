// Native COM ports through the Win32 communications API: the device control block for the
// settings, COMMTIMEOUTS for the time-outs, EscapeCommFunction and GetCommModemStatus for the
// modem lines. Network names are handed to the RFC 2217 backend, as on every OS.
// Winsock first: it must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <string>

#include "../common/serial_rfc2217.h"
#include "platform/serial_device.h"

namespace platform {

namespace {

// The DCB keeps the parity and stop-bit codes in the order of the enumerations.
static_assert(NOPARITY == static_cast<int>(SerialParity::None) &&
              SPACEPARITY == static_cast<int>(SerialParity::Space));
static_assert(ONESTOPBIT == static_cast<int>(SerialStopBits::One) &&
              ONE5STOPBITS == static_cast<int>(SerialStopBits::OnePointFive) &&
              TWOSTOPBITS == static_cast<int>(SerialStopBits::Two));

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

SerialLineMode DtrMode(DWORD control) {
    return control == DTR_CONTROL_ENABLE    ? SerialLineMode::On
           : control == DTR_CONTROL_DISABLE ? SerialLineMode::Off
                                            : SerialLineMode::Handshake;
}

// RTS toggle (raised while bytes go out) has no setting of its own: the driver drives the line,
// so it reads as handshake.
SerialLineMode RtsMode(DWORD control) {
    return control == RTS_CONTROL_ENABLE    ? SerialLineMode::On
           : control == RTS_CONTROL_DISABLE ? SerialLineMode::Off
                                            : SerialLineMode::Handshake;
}

void ReadDcb(const DCB& dcb, SerialSettings* settings) {
    settings->baudRate = dcb.BaudRate;
    settings->dataBits = dcb.ByteSize;
    settings->parity =
        dcb.Parity <= SPACEPARITY ? static_cast<SerialParity>(dcb.Parity) : SerialParity::None;
    settings->stopBits = dcb.StopBits <= TWOSTOPBITS ? static_cast<SerialStopBits>(dcb.StopBits)
                                                     : SerialStopBits::One;
    settings->dtr = DtrMode(dcb.fDtrControl);
    settings->rts = RtsMode(dcb.fRtsControl);
    settings->ctsOutputFlow = dcb.fOutxCtsFlow != 0;
    settings->xonXoff = dcb.fOutX != 0 && dcb.fInX != 0;
}

// Puts the settings into the block the driver reported. The fields the settings do not name
// keep the driver's values, except those that would change or drop bytes: the line is made
// byte-transparent (binary, no NUL stripping, no error-character replacement, no DSR
// sensitivity, no DSR flow control, no abort on error) as a program that carries binary
// packets needs it, and as the POSIX side makes its line raw.
void ApplyDcb(const SerialSettings& settings, DCB* dcb) {
    dcb->BaudRate = settings.baudRate;
    dcb->ByteSize = static_cast<BYTE>(settings.dataBits);
    dcb->Parity = static_cast<BYTE>(settings.parity);
    dcb->fParity = settings.parity != SerialParity::None;
    dcb->StopBits = static_cast<BYTE>(settings.stopBits);
    dcb->fDtrControl = settings.dtr == SerialLineMode::On    ? DTR_CONTROL_ENABLE
                       : settings.dtr == SerialLineMode::Off ? DTR_CONTROL_DISABLE
                                                             : DTR_CONTROL_HANDSHAKE;
    dcb->fRtsControl = settings.rts == SerialLineMode::On    ? RTS_CONTROL_ENABLE
                       : settings.rts == SerialLineMode::Off ? RTS_CONTROL_DISABLE
                                                             : RTS_CONTROL_HANDSHAKE;
    dcb->fOutxCtsFlow = settings.ctsOutputFlow;
    dcb->fOutX = settings.xonXoff;
    dcb->fInX = settings.xonXoff;
    if (settings.xonXoff) {
        dcb->XonChar = kXon;
        dcb->XoffChar = kXoff;
    }
    dcb->fBinary = TRUE;
    dcb->fNull = FALSE;
    dcb->fErrorChar = FALSE;
    dcb->fDsrSensitivity = FALSE;
    dcb->fOutxDsrFlow = FALSE;
    dcb->fAbortOnError = FALSE;
}

// Reads return at once with what is waiting; with a first-byte wait they return as soon as one
// byte came, or empty after the wait (the MAXDWORD/MAXDWORD/N combination of the comm API).
COMMTIMEOUTS ToCommTimeouts(const SerialTimeouts& timeouts) {
    COMMTIMEOUTS comm{};
    comm.ReadIntervalTimeout = MAXDWORD;
    if (timeouts.readFirstByteMs != 0) {
        comm.ReadTotalTimeoutMultiplier = MAXDWORD;
        // MAXDWORD itself would mean "no total time-out" together with the multiplier.
        comm.ReadTotalTimeoutConstant =
            timeouts.readFirstByteMs == MAXDWORD ? MAXDWORD - 1 : timeouts.readFirstByteMs;
    }
    comm.WriteTotalTimeoutMultiplier = 0;
    comm.WriteTotalTimeoutConstant = timeouts.writeTotalMs;
    return comm;
}

// The name of the port's lock object. Port names are case-insensitive on Windows ("com5" is
// "COM5"), so the lock is named by the upper-cased name; kernel object names take no backslash.
std::wstring PortLockName(const std::string& path) {
    std::wstring name = L"Global\\modlink.serial.";
    for (char c : path.substr(4)) {
        if (c == '\\') {
            c = '_';
        } else if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        name.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return name;
}

// Exclusive use among the programs of this toolkit, also where the driver itself lets a port be
// opened twice (Wine's serial ports, some virtual COM drivers): a named event exists while one
// program holds the port. Windows' own drivers refuse a second open before this is reached.
HANDLE LockPort(const std::string& path, DWORD* error) {
    HANDLE lock = CreateEventW(nullptr, TRUE, FALSE, PortLockName(path).c_str());
    if (lock == nullptr) {
        // No right to name objects machine-wide: the driver's own exclusivity has to do.
        *error = ERROR_SUCCESS;
        return nullptr;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(lock);
        *error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    *error = ERROR_SUCCESS;
    return lock;
}

class CommSerialDevice : public SerialDevice {
public:
    CommSerialDevice(std::string name, HANDLE handle, HANDLE lock)
        : name_(std::move(name)), handle_(handle), lock_(lock) {}
    ~CommSerialDevice() override {
        CloseHandle(handle_);
        if (lock_ != nullptr) {
            CloseHandle(lock_);
        }
    }
    CommSerialDevice(const CommSerialDevice&) = delete;
    CommSerialDevice& operator=(const CommSerialDevice&) = delete;

    SerialKind Kind() const override { return SerialKind::Native; }
    const std::string& Name() const override { return name_; }

    bool GetSettings(SerialSettings* settings) override {
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        if (!GetCommState(handle_, &dcb)) {
            return FailWithLastError();
        }
        ReadDcb(dcb, settings);
        return Succeed();
    }

    bool SetSettings(const SerialSettings& settings) override {
        if (!IsSupportedBaudRate(settings.baudRate) || settings.dataBits < 5 ||
            settings.dataBits > 8) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        if (!GetCommState(handle_, &dcb)) {
            return FailWithLastError();
        }
        ApplyDcb(settings, &dcb);
        if (!SetCommState(handle_, &dcb)) {
            return FailWithLastError();
        }
        return Succeed();
    }

    bool SetTimeouts(const SerialTimeouts& timeouts) override {
        COMMTIMEOUTS comm = ToCommTimeouts(timeouts);
        if (!SetCommTimeouts(handle_, &comm)) {
            return FailWithLastError();
        }
        return Succeed();
    }

    long Read(void* buffer, std::size_t size) override {
        if (size == 0) {
            return 0;
        }
        DWORD got = 0;
        DWORD wanted = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
        if (!ReadFile(handle_, buffer, wanted, &got, nullptr)) {
            FailAndClear();
            return -1;
        }
        Succeed();
        return static_cast<long>(got);
    }

    long Write(const void* data, std::size_t size) override {
        DWORD put = 0;
        DWORD length = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
        if (!WriteFile(handle_, data, length, &put, nullptr)) {
            FailAndClear();
            return -1;
        }
        Succeed();
        return static_cast<long>(put);
    }

    bool Purge(SerialPurge what) override {
        DWORD flags = 0;
        if (what != SerialPurge::Transmit) {
            flags |= PURGE_RXABORT | PURGE_RXCLEAR;
        }
        if (what != SerialPurge::Receive) {
            flags |= PURGE_TXABORT | PURGE_TXCLEAR;
        }
        if (!PurgeComm(handle_, flags)) {
            return FailWithLastError();
        }
        return Succeed();
    }

    bool ClearErrors() override {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(handle_, &errors, &status)) {
            return FailWithLastError();
        }
        // Drivers without break support refuse this; the error state is cleared either way.
        ClearCommBreak(handle_);
        return Succeed();
    }

    bool GetModemStatus(SerialModemStatus* status) override {
        DWORD lines = 0;
        if (!GetCommModemStatus(handle_, &lines)) {
            return FailWithLastError();
        }
        status->cts = (lines & MS_CTS_ON) != 0;
        status->dsr = (lines & MS_DSR_ON) != 0;
        status->ring = (lines & MS_RING_ON) != 0;
        status->carrier = (lines & MS_RLSD_ON) != 0;
        return Succeed();
    }

    bool SetDtr(bool on) override { return Escape(on ? SETDTR : CLRDTR); }
    bool SetRts(bool on) override { return Escape(on ? SETRTS : CLRRTS); }
    int LastError() const override { return error_; }

private:
    bool Escape(DWORD function) {
        if (!EscapeCommFunction(handle_, function)) {
            return FailWithLastError();
        }
        return Succeed();
    }
    // A failed transfer leaves the driver's error flags set; they are cleared so the next call
    // can go on, and the transfer's own error is the one reported.
    void FailAndClear() {
        error_ = static_cast<int>(GetLastError());
        DWORD errors = 0;
        ClearCommError(handle_, &errors, nullptr);
    }
    bool FailWithLastError() { return Fail(static_cast<int>(GetLastError())); }
    bool Fail(int error) {
        error_ = error;
        return false;
    }
    bool Succeed() {
        error_ = 0;
        return true;
    }

    std::string name_;
    HANDLE handle_;
    HANDLE lock_;
    int error_ = 0;
};

} // namespace

namespace serial_error {
int InvalidArgument() {
    return ERROR_INVALID_PARAMETER;
}
int NotSupported() {
    return ERROR_NOT_SUPPORTED;
}
int ConnectionReset() {
    return WSAECONNRESET;
}
int TimedOut() {
    return WSAETIMEDOUT;
}
int ProtocolError() {
    return ERROR_BAD_NET_RESP;
}
} // namespace serial_error

std::unique_ptr<SerialDevice> SerialDevice::Open(const std::string& name, int* error) {
    if (IsNetworkPortName(name)) {
        return OpenNetworkSerialDevice(name, error);
    }
    std::string path;
    if (!Win32DevicePath(name, &path)) {
        *error = ERROR_INVALID_NAME;
        return nullptr;
    }
    // No sharing: while this handle lives, every other open of the port fails with
    // ERROR_ACCESS_DENIED. Not overlapped: every call blocks under the comm time-outs.
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = static_cast<int>(GetLastError());
        return nullptr;
    }
    // A device that is no serial port (a disk, NUL) has no comm state.
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(handle, &dcb)) {
        DWORD failure = GetLastError();
        CloseHandle(handle);
        *error = failure == ERROR_SUCCESS ? ERROR_NOT_SUPPORTED : static_cast<int>(failure);
        return nullptr;
    }
    DWORD lockError = ERROR_SUCCESS;
    HANDLE lock = LockPort(path, &lockError);
    if (lockError != ERROR_SUCCESS) {
        CloseHandle(handle);
        *error = static_cast<int>(lockError);
        return nullptr;
    }
    *error = 0;
    return std::make_unique<CommSerialDevice>(name, handle, lock);
}

} // namespace platform
