#include "scripted_serial.h"

#include <cerrno>
#include <cstring>

#include "module/module_io.h"
#include "core/records.h"

namespace testsupport {

class ScriptedDevice : public platform::SerialDevice {
public:
    ScriptedDevice(ScriptedModule& module, std::string name) : module_(module), name_(std::move(name)) {}
    ~ScriptedDevice() override {
        --module_.openDevices;
        module_.Record("close");
    }

    platform::SerialKind Kind() const override {
        return module_.modemLines ? platform::SerialKind::Native : platform::SerialKind::Pty;
    }
    const std::string& Name() const override { return name_; }

    bool GetSettings(platform::SerialSettings* settings) override {
        if (module_.getSettingsFails) {
            return Fail(EIO);
        }
        *settings = settings_;
        return Succeed();
    }
    bool SetSettings(const platform::SerialSettings& settings) override {
        module_.settingsRates.push_back(settings.baudRate);
        module_.Record("settings " + std::to_string(settings.baudRate));
        if (module_.setSettingsFails || settings.baudRate > module_.maxBaud) {
            return Fail(EINVAL);
        }
        settings_ = settings;
        module_.lastSettings = settings;
        return Succeed();
    }
    bool SetTimeouts(const platform::SerialTimeouts& timeouts) override {
        timeouts_ = timeouts;
        module_.lastTimeouts = timeouts;
        return Succeed();
    }

    long Read(void* buffer, std::size_t size) override {
        if (module_.readFails) {
            Fail(EIO);
            return -1;
        }
        if (!Available()) {
            // Nothing waiting: the read waits its first-byte time, as a driver does.
            module_.clock_.Sleep(timeouts_.readFirstByteMs);
            if (!Available()) {
                return 0;
            }
        }
        std::size_t count = module_.delivery == ScriptedModule::Delivery::ByteByByte ? 1 : module_.pending_.size();
        count = count < size ? count : size;
        std::memcpy(buffer, module_.pending_.data(), count);
        module_.pending_.erase(0, count);
        return static_cast<long>(count);
    }

    long Write(const void* data, std::size_t size) override {
        std::string text(static_cast<const char*>(data), size);
        module_.Record("write " + text);
        if (module_.writeFails) {
            Fail(EIO);
            return -1;
        }
        std::size_t taken = module_.shortWrite >= 0 && static_cast<std::size_t>(module_.shortWrite) < size
                                ? static_cast<std::size_t>(module_.shortWrite)
                                : size;
        module_.Written(text.substr(0, taken), settings_.baudRate);
        return static_cast<long>(taken);
    }

    bool Purge(platform::SerialPurge what) override {
        module_.Record("purge");
        if (what != platform::SerialPurge::Transmit) {
            module_.pending_.clear();
        }
        return Succeed();
    }
    bool ClearErrors() override { return Succeed(); }

    bool GetModemStatus(platform::SerialModemStatus* status) override {
        if (!module_.modemLines || module_.modemStatusFails) {
            return Fail(ENOTTY);
        }
        *status = platform::SerialModemStatus{};
        status->cts = module_.CtsNow();
        return Succeed();
    }
    bool SetDtr(bool on) override {
        module_.Record(on ? "dtr on" : "dtr off");
        if (!module_.modemLines || module_.dtrFails) {
            return Fail(ENOTTY);
        }
        if (!on) {
            module_.dtrDropped_ = true;
        } else if (module_.dtrDropped_ && !module_.dtrOn_ && module_.ctsAfterPulseMs) {
            module_.ctsOnAt_ = module_.clock_.TickCount() + *module_.ctsAfterPulseMs;
        }
        module_.dtrOn_ = on;
        return Succeed();
    }
    bool SetRts(bool on) override {
        module_.Record(on ? "rts on" : "rts off");
        return module_.modemLines ? Succeed() : Fail(ENOTTY);
    }
    int LastError() const override { return error_; }

private:
    bool Available() const {
        return !module_.pending_.empty() &&
               static_cast<int32_t>(module_.clock_.TickCount() - module_.pendingAt_) >= 0;
    }
    bool Fail(int error) {
        error_ = error;
        return false;
    }
    bool Succeed() {
        error_ = 0;
        return true;
    }

    ScriptedModule& module_;
    std::string name_;
    platform::SerialSettings settings_;
    platform::SerialTimeouts timeouts_;
    int error_ = 0;
};

void ScriptedModule::Answer(const std::string& command, std::vector<std::string> replies) {
    answers_[command] = std::move(replies);
    used_[command] = 0;
}

void ScriptedModule::Written(const std::string& text, uint32_t rate) {
    writes.push_back(text);
    if (moduleBaud != 0 && rate != moduleBaud) {
        return;
    }
    auto found = answers_.find(text);
    if (found == answers_.end() || found->second.empty()) {
        return;
    }
    std::size_t& use = used_[text];
    const std::string& reply = found->second[use < found->second.size() ? use : found->second.size() - 1];
    ++use;
    pending_ += reply;
    pendingAt_ = clock_.TickCount() + answerDelayMs;
}

bool ScriptedModule::CtsNow() const {
    return cts || (ctsOnAt_ && static_cast<int32_t>(clock_.TickCount() - *ctsOnAt_) >= 0);
}

std::vector<std::string> ScriptedModule::EventTexts() const {
    std::vector<std::string> texts;
    for (const Event& event : events) {
        texts.push_back(event.what);
    }
    return texts;
}

std::vector<uint32_t> ScriptedModule::TicksOf(const std::string& prefix) const {
    std::vector<uint32_t> ticks;
    for (const Event& event : events) {
        if (event.what.rfind(prefix, 0) == 0) {
            ticks.push_back(event.tick);
        }
    }
    return ticks;
}

std::unique_ptr<platform::SerialDevice> ScriptedModule::Open(const std::string& name, int* error) {
    int attempt = openAttempts++;
    int failure = openError != 0 ? openError : openFailure ? openFailure(attempt) : 0;
    if (failure != 0) {
        clock_.Advance(openCostMs);
        *error = failure;
        return nullptr;
    }
    ++opens;
    ++openDevices;
    Record("open " + name);
    *error = 0;
    return std::make_unique<ScriptedDevice>(*this, name);
}

ScopedScriptedModule::ScopedScriptedModule() {
    SetModuleIo(&opener_, &clock);
    Settings = SessionSettings();
    Application = ApplicationRecord();
    Settings.ModuleFolder = "a:/";
    Settings.InitAtCommand = "ATE0\r";
    Settings.ComPortName = "/dev/ttyTEST0";
    Settings.ComBaudRate = 115200;
}

ScopedScriptedModule::~ScopedScriptedModule() { SetModuleIo(nullptr, nullptr); }

} // namespace testsupport
