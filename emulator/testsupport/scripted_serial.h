#pragma once
// A scripted module on a fake serial port, for exact and instant tests of the module code. The
// module answers commands from a script, after a delay on a FakeClock, in one piece or one byte
// per read; its port can refuse rates, settings, opens, reads and writes; its CTS line comes on
// after a DTR pulse. Every device it opens shares its script and its record of what happened.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_device.h"

namespace testsupport {

class ScriptedModule {
public:
    explicit ScriptedModule(platform::FakeClock& clock) : clock_(clock) {}

    // --- the script ---
    // Answers a command (exactly as written, with its CR). Several replies are used in turn; the
    // last one repeats.
    void Answer(const std::string& command, std::vector<std::string> replies);
    void Answer(const std::string& command, const std::string& reply) { Answer(command, std::vector<std::string>{reply}); }

    enum class Delivery { Glued, ByteByByte };
    Delivery delivery = Delivery::Glued;
    uint32_t answerDelayMs = 0;     // from the write to the answer's first byte
    uint32_t maxBaud = 921600;      // SetSettings above it fails
    uint32_t moduleBaud = 0;        // when set, commands written at another rate get no answer
    int openError = 0;              // when not 0, every open fails with it
    // Called before each open with its number (0, 1, ...); a non-zero result fails that open.
    std::function<int(int attempt)> openFailure;
    uint32_t openCostMs = 0;        // how much clock a failing open takes
    bool getSettingsFails = false;
    bool setSettingsFails = false;
    bool readFails = false;
    bool writeFails = false;
    long shortWrite = -1;           // when >= 0, writes take only this many bytes
    bool modemLines = true;         // false: like a pty, every modem-line call fails
    bool modemStatusFails = false;
    bool cts = true;                // CTS now
    std::optional<uint32_t> ctsAfterPulseMs; // CTS comes on this long after a DTR drop and raise
    bool dtrFails = false;

    // --- what happened ---
    struct Event {
        uint32_t tick;
        std::string what; // "open NAME", "close", "settings 115200", "dtr on", "write TEXT", "purge", ...
    };
    std::vector<Event> events;
    std::vector<std::string> writes;        // every write, as text
    std::vector<uint32_t> settingsRates;    // every rate SetSettings was asked for, in order
    int opens = 0;                          // successful opens
    int openAttempts = 0;
    int openDevices = 0;                    // devices not yet closed
    platform::SerialSettings lastSettings;
    platform::SerialTimeouts lastTimeouts;

    // The events' texts only, for order checks.
    std::vector<std::string> EventTexts() const;
    // Ticks of the events whose text begins with prefix.
    std::vector<uint32_t> TicksOf(const std::string& prefix) const;

    std::unique_ptr<platform::SerialDevice> Open(const std::string& name, int* error);

private:
    friend class ScriptedDevice;
    void Record(const std::string& what) { events.push_back({clock_.TickCount(), what}); }
    void Written(const std::string& text, uint32_t rate);
    bool CtsNow() const;

    platform::FakeClock& clock_;
    std::map<std::string, std::vector<std::string>> answers_;
    std::map<std::string, std::size_t> used_;
    std::string pending_;          // the answer bytes on their way
    uint32_t pendingAt_ = 0;       // when they are there
    bool dtrOn_ = false;
    bool dtrDropped_ = false;
    std::optional<uint32_t> ctsOnAt_;
};

// Opens devices of one scripted module.
class ScriptedOpener : public platform::SerialOpener {
public:
    explicit ScriptedOpener(ScriptedModule& module) : module_(module) {}
    std::unique_ptr<platform::SerialDevice> Open(const std::string& name, int* error) override {
        return module_.Open(name, error);
    }

private:
    ScriptedModule& module_;
};

// Installs a scripted module and its clock as the module code's I/O for one test, and resets the
// session records the module code reads and writes.
class ScopedScriptedModule {
public:
    ScopedScriptedModule();
    ~ScopedScriptedModule();
    platform::FakeClock clock;
    ScriptedModule module{clock};

private:
    ScriptedOpener opener_{module};
};

} // namespace testsupport
