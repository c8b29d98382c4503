// sublime-x64.dll between Windows processes (run under Wine): a Sublime host on the fake JVM
// serves a native Lime client and a JNI Lime client, each a process of its own; the kernel
// objects carry their names and sizes; a client killed while it holds a buffer's mutex leaves
// the Sublime side running to a clean end instead of hanging.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <filesystem>
#include <string>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/ipc_event.h"
#include "platform/ipc_mutex.h"
#include "platform/process.h"
#include "platform/shared_memory.h"

namespace {

const char kHolderVariable[] = "MODLINK_SUBLIME_MUTEX_HOLDER";

std::string Program(const char* name) {
    return (std::filesystem::path(platform::ExecutablePath()).parent_path() / name).string();
}

// A process whose merged output is read line by line.
class Child {
public:
    Child(std::vector<std::string> arguments, const std::map<std::string, std::string>& extra = {}) {
        platform::ProcessOptions options;
        options.arguments = std::move(arguments);
        options.environment = platform::EnvironmentBlock();
        for (const auto& [name, value] : extra) options.environment[name] = value;
        options.replaceEnvironment = true;
        options.output = platform::ChildOutput::Pipe;
        options.inheritInput = false;
        int error = 0;
        process_ = platform::Process::Start(options, &error);
        EXPECT_NE(process_, nullptr) << "cannot start " << options.arguments[0] << ": " << error;
    }

    // Reads until a line starting with prefix has arrived; returns that line ("" at the end).
    std::string LineStartingWith(const std::string& prefix) {
        for (;;) {
            size_t start = 0;
            while (start < pending_.size()) {
                size_t end = pending_.find('\n', start);
                if (end == std::string::npos) break;
                std::string line = pending_.substr(start, end - start);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                seen_ += line + "\n";
                start = end + 1;
                if (line.rfind(prefix, 0) == 0) {
                    pending_.erase(0, start);
                    return line;
                }
            }
            pending_.erase(0, start);
            char buffer[4096];
            long got = process_ ? process_->ReadOutput(buffer, sizeof buffer) : 0;
            if (got <= 0) return "";
            pending_.append(buffer, static_cast<size_t>(got));
        }
    }

    // Reads to the end of the output and waits: the exit code.
    int Finish() {
        LineStartingWith("\x01never");
        int code = -1;
        if (process_) process_->Wait(-1, &code);
        return code;
    }

    const std::string& Seen() const { return seen_; }
    platform::Process& Handle() { return *process_; }

private:
    std::unique_ptr<platform::Process> process_;
    std::string pending_;
    std::string seen_;
};

int UniqueId() { return 0x5000000 + platform::CurrentProcessId() * 16 + (std::rand() & 15); }

std::string Name(int id, int index, const char* suffix) {
    char name[27];
    std::snprintf(name, sizeof name, "%s%08x%08x%s", "sublime", static_cast<unsigned>(id), static_cast<unsigned>(index),
                  suffix);
    return name;
}

void ServeOneClient(const char* client, const char* success) {
    const int id = UniqueId();
    Child host({Program("sublime_host"), std::to_string(id)});
    ASSERT_EQ(host.LineStartingWith("READY"), "READY " + std::to_string(id)) << host.Seen();
    Child lime({Program(client)}, {{"SUBLIME_PROC_ID", std::to_string(id)}});
    EXPECT_EQ(lime.LineStartingWith(success), success) << lime.Seen();
    EXPECT_EQ(lime.Finish(), 0) << lime.Seen();
    // The client's EndLime closed the call buffer: the request loop ends.
    EXPECT_EQ(host.LineStartingWith("ENDED"), "ENDED") << host.Seen();
    EXPECT_EQ(host.LineStartingWith("LATE REPLY"), "LATE REPLY freed 0");
    EXPECT_EQ(host.Finish(), 0) << host.Seen();
}

} // namespace

TEST(SublimeWineHelper, HoldMutex) {
    auto name = platform::GetEnv(kHolderVariable);
    if (!name) {
        GTEST_SKIP() << "runs only as the mutex holder of the killed-client test";
    }
    int error = 0;
    auto mutex = platform::IpcMutex::Open(*name, &error);
    ASSERT_NE(mutex, nullptr) << error;
    ASSERT_EQ(mutex->Lock(), platform::IpcLockResult::Locked);
    std::printf("HOLDING\n");
    std::fflush(stdout);
    platform::IpcEvent::Open(*name + "-never", &error)->Wait(-1);
}

TEST(SublimeWine, ANativeClientCallsEveryTypeThroughTheExports) {
    ServeOneClient("lime_native_client", "NATIVE CLIENT OK");
}

TEST(SublimeWine, AJniClientCallsEveryTypeThroughLimeFunction) { ServeOneClient("lime_jni_client", "JNI CLIENT OK"); }

TEST(SublimeWine, KernelObjectsCarryTheirNamesAndSizes) {
    const int id = UniqueId();
    Child host({Program("sublime_host"), std::to_string(id)});
    ASSERT_EQ(host.LineStartingWith("READY"), "READY " + std::to_string(id));
    for (int index : {0, 1}) {
        for (const char* suffix : {"shm", "mtx", "bre", "dre"}) {
            EXPECT_TRUE(platform::SharedObjectExists(Name(id, index, suffix))) << Name(id, index, suffix);
        }
        int error = 0;
        auto mapping = platform::SharedMemory::Open(Name(id, index, "shm"), 0x200000, &error);
        ASSERT_NE(mapping, nullptr) << error;
        const auto* header = static_cast<const unsigned char*>(mapping->Map(&error));
        // capacity 0x1ffff0, open, empty: big-endian words.
        const unsigned char expected[16] = {0x00, 0x1f, 0xff, 0xf0};
        EXPECT_EQ(std::memcmp(header, expected, 16), 0);
        EXPECT_EQ(platform::SharedMemory::Open(Name(id, index, "shm"), 0x200000 + 0x10000, &error), nullptr);
    }
    EXPECT_FALSE(platform::SharedObjectExists(Name(id, 2, "shm")));
    // A traced call from a client, whose EndLime then ends the host.
    Child lime({Program("lime_native_client"), "trace"}, {{"SUBLIME_PROC_ID", std::to_string(id)}, {"LIME_TRACE", "1"}});
    EXPECT_EQ(lime.Finish(), 0);
    EXPECT_NE(lime.Seen().find("[20: 19, 18, 17, 16, 15, 14, ..., 1, 0]"), std::string::npos) << lime.Seen();
    EXPECT_EQ(host.Finish(), 0) << host.Seen();
}

TEST(SublimeWine, AClientKilledHoldingTheMutexDoesNotHangTheSublimeSide) {
    const int id = UniqueId();
    Child host({Program("sublime_host"), std::to_string(id)});
    ASSERT_EQ(host.LineStartingWith("READY"), "READY " + std::to_string(id));
    Child holder({platform::ExecutablePath(), "--gtest_filter=SublimeWineHelper.HoldMutex"},
                 {{kHolderVariable, Name(id, 0, "mtx")}});
    ASSERT_EQ(holder.LineStartingWith("HOLDING"), "HOLDING") << holder.Seen();
    ASSERT_TRUE(holder.Handle().Terminate(9));
    EXPECT_EQ(holder.Finish(), 9);
    // The Sublime side takes the abandoned mutex, closes the buffer and ends its loop.
    EXPECT_EQ(host.LineStartingWith("ENDED"), "ENDED") << host.Seen();
    EXPECT_NE(host.Seen().find("SUBLIMEIO: A process died while holding the shared buffer mutex"), std::string::npos)
        << host.Seen();
    EXPECT_EQ(host.Finish(), 0) << host.Seen();
}
