#pragma once
// The virtual module: its options, the state it remembers across connections, and the hooks
// through which the OBEX server and the debug link join the AT interpreter.
//
// One connection at a time talks to the module (every emulator operation opens and closes the
// port). Each connection runs on its own thread; the state outlives connections, as a real
// module's configuration outlives a closed port.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "transcript.h"

namespace modsim {

// How the module answers one command instead of its normal answer (fault injection).
struct InjectedFault {
    enum Kind { Error, CmeError, Silent } kind = Error;
    int cmeCode = 0;
};

// Everything the command line sets. Defaults describe a new-family module that is on.
struct Options {
    std::string listenAddress = "127.0.0.1"; // with --listen
    uint16_t listenPort = 0;                 // 0 picks a free port
    bool usePty = false;                     // --pty instead of --listen
    std::string flashDir;                    // --flash DIR: drive A is DIR/A, B is DIR/B, ...
    std::string transcriptPath;              // --transcript FILE
    std::string atiAnswer = "QRE";           // --ati TEXT: the marker line of the ATI answer ("" = none)
    std::string model = "QRE-SIM";           // --model TEXT: the AT+CGMM answer
    int driveCount = 1;                      // --drives N: answer to AT^KQWE=100
    uint32_t maxBaud = 921600;               // --max-baud N: highest rate the port accepts
    uint32_t moduleBaud = 0;                 // --module-baud N: the module's fixed rate (0 = any)
    bool switchedOff = false;                // --off: CTS low until a DTR pulse
    uint32_t powerOnMs = 300;                // --power-on-ms N: from the DTR pulse to CTS on
    bool simReady = true;                    // --no-sim: at+cpin? answers +CME ERROR: 10
    bool debugModeOn = false;                // --debug-mode-on
    bool usbPort = false;                    // --usb: the port goes away during a restart
    uint32_t restartMs = 3000;               // --restart-ms N: how long a restart keeps the port away
    bool echo = true;                        // --no-echo: echo is off from the start (as after ATE0)
    bool pace = false;                       // --pace: deliver bytes at the line rate (baud/10 per s)
    // --fault 'PREFIX=error|cme:N|silent': commands beginning with PREFIX (compared without case)
    // get the fault instead of their answer. May be repeated; the first matching entry wins.
    std::vector<std::pair<std::string, InjectedFault>> faults;
    // --fault drop|silent|badlength with --fault-at N: a fault of the OBEX link at the N-th OBEX
    // request, counted over the simulator's life (the OBEX server reads them).
    std::string obexFault;
    uint32_t obexFaultAt = 0;
    // Options that extensions registered, by name without the leading dashes.
    std::map<std::string, std::string> extensionValues;
};

// The module side of the port during one connection: data bytes only (Telnet and RFC 2217 are
// handled underneath), paced at the line rate when asked.
class ByteChannel {
public:
    virtual ~ByteChannel() = default;
    // Waits up to timeoutMs for data: the bytes read (0 on time-out), -1 when the PC side closed.
    virtual long Read(void* buffer, std::size_t size, uint32_t timeoutMs) = 0;
    // Sends bytes to the PC side; false when it went away.
    virtual bool Write(const void* data, std::size_t size) = 0;
    bool Write(const std::string& text) { return Write(text.data(), text.size()); }
    // The rate the PC side set (what pacing uses).
    virtual uint32_t BaudRate() const = 0;
};

// What the module remembers. Guarded by `mutex`; extensions lock it when they read or write.
struct ModuleState {
    mutable std::mutex mutex;
    bool poweredOn = true;
    bool echo = true;
    uint32_t moduleBaud = 0;                     // 0 = follows the PC side
    bool debugMode = false;
    std::map<std::string, std::string> kcfg;     // at^kcfg keys (lower case) to their raw values
    std::string startedProgram;                  // the argument of the last accepted at^kjra=
    std::vector<std::string> startedPrograms;    // every accepted at^kjra= argument, in order
    int resets = 0;                              // at+cfun=1,1 and debug-mode restarts
    uint32_t unavailableUntilTick = 0;           // a restarting USB port refuses connections until then
    uint32_t bootUntilTick = 0;                  // a restarting module ignores commands until then
    bool restarting = false;                     // a restart is under way (both ticks above apply)
};

// The answer a command handler gives.
struct CommandAnswer {
    bool handled = false;
    // Text sent back as is (the handler formats "\r\nOK\r\n" etc. itself).
    std::string reply;
    // Runs after the reply went out, on the same connection: it may own the byte stream until it
    // returns (the OBEX server after AT^KQWE=3 until "+++", a data link after ATD until hang-up).
    std::function<void(ByteChannel&)> takeOver;
};

// A command handler sees the command without its CR, exactly as received.
using CommandHandler = std::function<CommandAnswer(const std::string& command, ByteChannel& channel)>;

class Simulator {
public:
    Simulator();
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Lets an extension accept "--name VALUE" (takesValue) or "--name" on the command line; the
    // value lands in options().extensionValues[name] ("1" for a flag).
    void RegisterOption(const std::string& name, bool takesValue, const std::string& help);
    // Parses the command line. False with *error set on bad arguments.
    bool ParseArguments(const std::vector<std::string>& arguments, std::string* error);
    std::string Usage() const;

    // Adds a handler tried before the built-in commands, in the order added.
    void AddCommandHandler(CommandHandler handler);

    // Called once per connection when it ends (the PC closed the port).
    void AddDisconnectHandler(std::function<void()> handler);

    Options& options() { return options_; }
    const Options& options() const { return options_; }
    ModuleState& state() { return state_; }
    Transcript& transcript() { return *transcript_; }

    // Applies the options to the state and opens the transcript. False with *error on failure.
    bool Prepare(std::string* error);

    // The path of a drive's folder in the flash ("" without --flash): drive 0 is A.
    std::string DriveFolder(int drive) const;

    // Runs the AT interpreter on one connection until the PC side closes it.
    void ServeConnection(ByteChannel& channel);

    // Starts the module's restart (at+cfun=1,1 or a debug-mode switch): with a USB port the port
    // refuses connections for restartMs.
    void Restart();

    // True while a restarting USB port is away.
    bool PortUnavailable();
    // True while the module boots after a restart (it ignores what it receives).
    bool Booting();

    // Set when the connection in progress must end (a USB port vanished, the simulator stops).
    bool DropConnection() const { return dropConnection_; }
    void ClearDropConnection() {
        dropConnection_ = false;
        hangUp_ = false;
    }

    // Ends the connection in progress from the module's side at once, as a dropped line does: the
    // port server closes it without waiting for the PC.
    void HangUp() {
        hangUp_ = true;
        dropConnection_ = true;
    }
    bool HangingUp() const { return hangUp_.load(); }

    // The built-in command set, exposed for the unit tests.
    CommandAnswer AnswerBuiltIn(const std::string& command);

private:
    struct RegisteredOption {
        bool takesValue;
        std::string help;
    };
    Options options_;
    ModuleState state_;
    std::unique_ptr<Transcript> transcript_;
    std::vector<CommandHandler> handlers_;
    std::vector<std::function<void()>> disconnectHandlers_;
    std::map<std::string, RegisteredOption> extensionOptions_;
    bool dropConnection_ = false;
    std::atomic<bool> hangUp_{false};
};

// The line-rate delay for n bytes at a baud rate: 10 bits per byte (start, 8 data, stop).
uint32_t LineTimeMs(std::size_t bytes, uint32_t baudRate);

// "\r\nOK\r\n", "\r\nERROR\r\n", "\r\n+CME ERROR: n\r\n": the module's final answers.
std::string OkAnswer();
std::string ErrorAnswer();
std::string CmeErrorAnswer(int code);

} // namespace modsim
