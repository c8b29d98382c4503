// The module's AT interpreter and the state it keeps between connections.
#include "simulator.h"

#include <cstdio>
#include <filesystem>

#include "platform/clock.h"
#include "text_util.h"

namespace modsim {

namespace {

constexpr std::size_t kMaxCommandLength = 2048;

bool TickReached(uint32_t now, uint32_t until) { return static_cast<int32_t>(now - until) >= 0; }

std::string Unquote(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

// Splits "key,rest" at the first comma outside quotes; rest is empty for a query.
void SplitKcfg(const std::string& argument, std::string* key, std::string* rest, bool* isQuery) {
    bool quoted = false;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] == '"') {
            quoted = !quoted;
        } else if (argument[i] == ',' && !quoted) {
            *key = argument.substr(0, i);
            *rest = argument.substr(i + 1);
            *isQuery = false;
            return;
        }
    }
    *key = argument;
    rest->clear();
    *isQuery = true;
}

// The channel as a take-over sees it: first the bytes that arrived behind the command in the same
// read, then the channel itself.
class LeftoverChannel : public ByteChannel {
public:
    LeftoverChannel(ByteChannel& channel, std::string leftover) : channel_(channel), leftover_(std::move(leftover)) {}
    long Read(void* buffer, std::size_t size, uint32_t timeoutMs) override {
        if (leftover_.empty()) {
            return channel_.Read(buffer, size, timeoutMs);
        }
        std::size_t count = leftover_.size() < size ? leftover_.size() : size;
        leftover_.copy(static_cast<char*>(buffer), count);
        leftover_.erase(0, count);
        return static_cast<long>(count);
    }
    bool Write(const void* data, std::size_t size) override { return channel_.Write(data, size); }
    uint32_t BaudRate() const override { return channel_.BaudRate(); }

private:
    ByteChannel& channel_;
    std::string leftover_;
};

CommandAnswer Reply(const std::string& text) {
    CommandAnswer answer;
    answer.handled = true;
    answer.reply = text;
    return answer;
}

} // namespace

std::string OkAnswer() { return "\r\nOK\r\n"; }
std::string ErrorAnswer() { return "\r\nERROR\r\n"; }
std::string CmeErrorAnswer(int code) { return "\r\n+CME ERROR: " + std::to_string(code) + "\r\n"; }

uint32_t LineTimeMs(std::size_t bytes, uint32_t baudRate) {
    if (baudRate == 0) {
        return 0;
    }
    return static_cast<uint32_t>((static_cast<uint64_t>(bytes) * 10 * 1000) / baudRate);
}

Simulator::Simulator() : transcript_(std::make_unique<Transcript>()) {}
Simulator::~Simulator() = default;

void Simulator::AddCommandHandler(CommandHandler handler) { handlers_.push_back(std::move(handler)); }

void Simulator::AddDisconnectHandler(std::function<void()> handler) {
    disconnectHandlers_.push_back(std::move(handler));
}

bool Simulator::Prepare(std::string* error) {
    {
        std::lock_guard<std::mutex> lock(state_.mutex);
        state_.poweredOn = !options_.switchedOff || options_.usePty;
        state_.echo = options_.echo;
        state_.moduleBaud = options_.moduleBaud;
        state_.debugMode = options_.debugModeOn;
    }
    if (!options_.flashDir.empty()) {
        std::error_code failure;
        int drives = options_.driveCount < 1 ? 1 : options_.driveCount;
        for (int drive = 0; drive < drives && drive < 26; ++drive) {
            std::filesystem::create_directories(DriveFolder(drive), failure);
            if (failure) {
                *error = "cannot create the flash folder " + DriveFolder(drive) + ": " + failure.message();
                return false;
            }
        }
    }
    if (!transcript_->Open(options_.transcriptPath)) {
        *error = "cannot write the transcript " + options_.transcriptPath;
        return false;
    }
    return true;
}

std::string Simulator::DriveFolder(int drive) const {
    if (options_.flashDir.empty() || drive < 0 || drive >= 26) {
        return std::string();
    }
    return (std::filesystem::path(options_.flashDir) / std::string(1, static_cast<char>('A' + drive))).string();
}

void Simulator::Restart() {
    platform::Clock& clock = platform::SystemClock();
    std::lock_guard<std::mutex> lock(state_.mutex);
    ++state_.resets;
    state_.restarting = true;
    state_.bootUntilTick = clock.TickCount() + options_.restartMs;
    if (options_.usbPort && !options_.usePty) {
        state_.unavailableUntilTick = state_.bootUntilTick;
        dropConnection_ = true;
    }
    // A restart ends the command echo setting and any rate the PC agreed, as a power cycle would.
    state_.echo = options_.echo;
    state_.moduleBaud = options_.moduleBaud;
}

bool Simulator::PortUnavailable() {
    std::lock_guard<std::mutex> lock(state_.mutex);
    return state_.restarting && options_.usbPort &&
           !TickReached(platform::SystemClock().TickCount(), state_.unavailableUntilTick);
}

bool Simulator::Booting() {
    std::lock_guard<std::mutex> lock(state_.mutex);
    if (!state_.restarting) {
        return false;
    }
    if (TickReached(platform::SystemClock().TickCount(), state_.bootUntilTick)) {
        state_.restarting = false;
        return false;
    }
    return true;
}

void Simulator::ServeConnection(ByteChannel& channel) {
    std::string line;
    char buffer[512];
    while (!dropConnection_) {
        long count = channel.Read(buffer, sizeof(buffer), 100);
        if (count < 0) {
            break;
        }
        for (long i = 0; i < count && !dropConnection_; ++i) {
            bool listening;
            {
                std::lock_guard<std::mutex> lock(state_.mutex);
                uint32_t rate = channel.BaudRate();
                listening = state_.poweredOn && (state_.moduleBaud == 0 || rate == 0 || rate == state_.moduleBaud);
            }
            // A module that is off, still booting or set to another rate makes nothing of the bytes.
            if (!listening || Booting()) {
                line.clear();
                continue;
            }
            char c = buffer[i];
            if (c == '\r') {
                std::string command;
                command.swap(line);
                if (!StartsWithIgnoreCase(command, "AT")) {
                    continue;
                }
                transcript_->Record(command);
                bool echo;
                {
                    std::lock_guard<std::mutex> lock(state_.mutex);
                    echo = state_.echo;
                }
                if (echo && !channel.Write(command + "\r")) {
                    return;
                }
                CommandAnswer answer;
                for (const auto& [prefix, fault] : options_.faults) {
                    if (StartsWithIgnoreCase(command, prefix)) {
                        answer.handled = true;
                        answer.reply = fault.kind == InjectedFault::Error      ? ErrorAnswer()
                                       : fault.kind == InjectedFault::CmeError ? CmeErrorAnswer(fault.cmeCode)
                                                                               : std::string();
                        break;
                    }
                }
                for (std::size_t h = 0; !answer.handled && h < handlers_.size(); ++h) {
                    answer = handlers_[h](command, channel);
                }
                if (!answer.handled) {
                    answer = AnswerBuiltIn(command);
                }
                if (!answer.reply.empty() && !channel.Write(answer.reply)) {
                    break;
                }
                if (answer.takeOver) {
                    // What followed the command in this read belongs to the take-over.
                    LeftoverChannel rest(channel, std::string(buffer + i + 1, static_cast<std::size_t>(count - i - 1)));
                    answer.takeOver(rest);
                    break;
                }
            } else if (c == '\n' && line.empty()) {
                continue;
            } else if (line.size() < kMaxCommandLength) {
                line.push_back(c);
            }
        }
    }
    dropConnection_ = false;
    for (const auto& handler : disconnectHandlers_) {
        handler();
    }
}

CommandAnswer Simulator::AnswerBuiltIn(const std::string& command) {
    std::string lower = ToLower(command);
    if (lower == "at") {
        return Reply(OkAnswer());
    }
    if (lower == "ate0" || lower == "ate1" || lower == "ate") {
        std::lock_guard<std::mutex> lock(state_.mutex);
        state_.echo = lower != "ate0";
        return Reply(OkAnswer());
    }
    if (lower == "ati") {
        std::string identity = options_.atiAnswer.empty() ? "Cellular Engine" : options_.atiAnswer;
        return Reply("\r\n" + identity + "\r\nREVISION 01.000\r\n" + OkAnswer());
    }
    if (lower == "at+cgmm") {
        return Reply("\r\n" + options_.model + "\r\n" + OkAnswer());
    }
    if (lower == "at&f") {
        std::lock_guard<std::mutex> lock(state_.mutex);
        state_.echo = true;
        return Reply(OkAnswer());
    }
    if (lower == "at\\q3" || lower == "at\\q0") {
        return Reply(OkAnswer());
    }
    if (lower == "at^kqwe=100") {
        return Reply("\r\n^KQWE: " + std::to_string(options_.driveCount) + "\r\n" + OkAnswer());
    }
    if (lower.rfind("at+ipr=", 0) == 0) {
        std::string digits = lower.substr(7);
        if (digits.empty() || digits.size() > 7 || digits.find_first_not_of("0123456789") != std::string::npos) {
            return Reply(ErrorAnswer());
        }
        uint32_t rate = static_cast<uint32_t>(std::stoul(digits));
        if (rate != 0 && (rate > options_.maxBaud || rate < 1200)) {
            return Reply(ErrorAnswer());
        }
        // The module answers at the old rate and then changes over, as a real one does.
        CommandAnswer answer = Reply(OkAnswer());
        answer.takeOver = [this, rate](ByteChannel&) {
            std::lock_guard<std::mutex> lock(state_.mutex);
            state_.moduleBaud = rate;
        };
        return answer;
    }
    if (lower == "at+ipr?") {
        std::lock_guard<std::mutex> lock(state_.mutex);
        return Reply("\r\n+IPR: " + std::to_string(state_.moduleBaud) + "\r\n" + OkAnswer());
    }
    if (lower == "at+cpin?") {
        return Reply(options_.simReady ? "\r\n+CPIN: READY\r\n" + OkAnswer() : CmeErrorAnswer(10));
    }
    if (lower.rfind("at^kjra=", 0) == 0) {
        std::string program = command.substr(8);
        if (program.empty()) {
            return Reply(ErrorAnswer());
        }
        std::lock_guard<std::mutex> lock(state_.mutex);
        state_.startedProgram = program;
        state_.startedPrograms.push_back(program);
        return Reply(OkAnswer());
    }
    if (lower.rfind("at^kcfg=", 0) == 0) {
        std::string key, rest;
        bool isQuery = false;
        SplitKcfg(command.substr(8), &key, &rest, &isQuery);
        std::string name = ToLower(Unquote(key));
        if (name.empty()) {
            return Reply(ErrorAnswer());
        }
        std::lock_guard<std::mutex> lock(state_.mutex);
        if (name == "userware/debugmode") {
            if (isQuery) {
                return Reply("\r\n^KCFG: " + key + ",\"" + (state_.debugMode ? "on" : "off") + "\"\r\n" + OkAnswer());
            }
            std::string value = ToLower(Unquote(rest));
            if (value != "on" && value != "off") {
                return Reply(ErrorAnswer());
            }
            bool wanted = value == "on";
            state_.kcfg[name] = rest;
            if (wanted == state_.debugMode) {
                return Reply(OkAnswer());
            }
            state_.debugMode = wanted;
            // Changing the debug mode restarts the module once the answer is out.
            CommandAnswer answer = Reply(OkAnswer());
            answer.takeOver = [this](ByteChannel&) { Restart(); };
            return answer;
        }
        if (isQuery) {
            auto found = state_.kcfg.find(name);
            if (found == state_.kcfg.end()) {
                return Reply(ErrorAnswer());
            }
            return Reply("\r\n^KCFG: " + key + "," + found->second + "\r\n" + OkAnswer());
        }
        state_.kcfg[name] = rest;
        return Reply(OkAnswer());
    }
    if (lower == "at+cfun=1,1") {
        CommandAnswer answer = Reply(OkAnswer());
        answer.takeOver = [this](ByteChannel&) { Restart(); };
        return answer;
    }
    if (lower.rfind("at+cfun", 0) == 0) {
        return Reply(OkAnswer());
    }
    return Reply(ErrorAnswer());
}

} // namespace modsim
