#include "lime_test_support.h"

#include <atomic>
#include <chrono>

#include "platform/env.h"

namespace limetest {

int32_t UniqueProcessId() {
    static std::atomic<int32_t> counter{0};
    // Our own process id keeps concurrent test binaries apart; the counter keeps tests apart.
    return static_cast<int32_t>((static_cast<uint32_t>(platform::CurrentProcessId()) << 8) |
                                static_cast<uint32_t>(++counter & 0xff));
}

std::string BinPath(const std::string& name) { return std::string(MODLINK_BINARY_DIR) + "/bin/" + name; }

Child::Child(std::vector<std::string> arguments, const std::map<std::string, std::string>& extra,
             const std::vector<std::string>& remove) {
    platform::ProcessOptions options;
    options.arguments = std::move(arguments);
    options.output = platform::ChildOutput::Pipe;
    options.inheritInput = false;
    options.environment = platform::EnvironmentBlock();
    for (const auto& name : remove) {
        options.environment.erase(name);
    }
    for (const auto& [name, value] : extra) {
        options.environment[name] = value;
    }
    options.replaceEnvironment = true;
    int error = 0;
    process_ = platform::Process::Start(options, &error);
    if (process_ != nullptr) {
        reader_ = std::thread([this] {
            char buffer[4096];
            for (;;) {
                long got = process_->ReadOutput(buffer, sizeof buffer);
                if (got <= 0) {
                    break;
                }
                std::lock_guard<std::mutex> lock(mutex_);
                output_.append(buffer, static_cast<size_t>(got));
            }
        });
    }
}

Child::~Child() {
    if (process_ != nullptr) {
        if (WaitForExit(0) == -1000) {
            Kill();
        }
        if (reader_.joinable()) {
            reader_.join();
        }
    }
}

bool Child::WaitForOutput(const std::string& text, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (output_.find(text) != std::string::npos) {
                return true;
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int Child::WaitForExit(int timeoutMs) {
    if (process_ == nullptr) {
        return -1001;
    }
    if (ended_) {
        return exitCode_;
    }
    int code = 0;
    if (!process_->Wait(timeoutMs, &code)) {
        return -1000;
    }
    ended_ = true;
    exitCode_ = code;
    if (reader_.joinable()) {
        reader_.join();
    }
    return code;
}

void Child::Kill() {
    if (process_ != nullptr && !ended_) {
        process_->Terminate(137);
        WaitForExit(5000);
    }
}

std::string Child::Output() {
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
}

} // namespace limetest
