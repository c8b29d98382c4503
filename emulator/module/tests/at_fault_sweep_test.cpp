// Every AT exchange of the port preparation and of the program start, swept on a scripted module
// and a fake clock: the N-th exchange, once or from then on, is answered ERROR or not at all.
// Each run must end within the time-outs of the exchanges it made, with the port closed, and
// with the result the step's rules give (the driver turns a false into its exit code).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/records.h"
#include "module/module_control.h"
#include "module/module_port.h"
#include "platform/env.h"
#include "testsupport/scripted_serial.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

const std::string kOk = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";

struct FaultKind {
    const char* name;
    std::string reply; // empty: no answer at all
};
const FaultKind kKinds[] = {{"ERROR", kError}, {"no answer", ""}};

// The longest a command may wait for its answer.
uint32_t TimeoutOf(const std::string& command) { return command.rfind("at^kjra=", 0) == 0 ? 5000 : 2500; }

struct Outcome {
    bool result = false;
    uint32_t elapsedMs = 0;
    std::vector<std::string> writes;
    int openDevices = 0;
    int newFamily = 0;
    std::string err;
};

using Script = std::map<std::string, std::vector<std::string>>;

class AtFaultSweep : public ::testing::Test {
protected:
    void SetUp() override {
        sysfs_ = std::filesystem::temp_directory_path() / "at_fault_sweep_test_sysfs";
        std::filesystem::create_directories(sysfs_ / "class" / "tty");
        platform::SetEnv("MODLINK_SYSFS", sysfs_.string());
    }
    void TearDown() override {
        platform::UnsetEnv("MODLINK_SYSFS");
        std::filesystem::remove_all(sysfs_);
    }

    // One operation on a fresh module that answers from the script.
    static Outcome Run(const Script& script, const std::function<bool()>& operation,
                       const std::function<void()>& session = [] {}) {
        testsupport::ScopedScriptedModule scripted;
        session();
        for (const auto& [command, replies] : script) scripted.module.Answer(command, replies);
        Outcome outcome;
        uint32_t start = scripted.clock.TickCount();
        CaptureStdout();
        CaptureStderr();
        outcome.result = operation();
        GetCapturedStdout();
        outcome.err = GetCapturedStderr();
        outcome.elapsedMs = scripted.clock.TickCount() - start;
        outcome.writes = scripted.module.writes;
        outcome.openDevices = scripted.module.openDevices;
        outcome.newFamily = Settings.NewModuleFamily;
        return outcome;
    }

    // The script with the write at `index` of a good run faulted: only that exchange (once) or
    // that command from then on.
    static Script Faulted(const Script& good, const std::vector<std::string>& writes, std::size_t index,
                          const std::string& reply, bool fromThenOn) {
        const std::string& command = writes[index];
        std::size_t earlier = static_cast<std::size_t>(std::count(writes.begin(), writes.begin() + index, command));
        const std::string& normal = good.at(command).front();
        std::vector<std::string> replies(earlier, normal);
        replies.push_back(reply);
        if (!fromThenOn) replies.push_back(normal); // the last reply repeats
        Script faulted = good;
        faulted[command] = replies;
        return faulted;
    }

    // Checks shared by every faulted run; returns a description for failure messages.
    static std::string CheckBounded(const Outcome& o, const std::string& faulted, const FaultKind& kind) {
        std::string where = "fault \"" + std::string(kind.name) + "\" on " + faulted.substr(0, faulted.size() - 1);
        uint32_t bound = 1000; // the fixed pauses between exchanges
        for (const std::string& w : o.writes) bound += TimeoutOf(w) + 100;
        EXPECT_LE(o.elapsedMs, bound) << where;
        if (kind.reply.empty()) {
            EXPECT_GE(o.elapsedMs, TimeoutOf(faulted)) << where << ": the time-out was cut short";
        }
        EXPECT_EQ(o.openDevices, 0) << where << ": the port was left open";
        return where;
    }

    std::filesystem::path sysfs_;
};

} // namespace

TEST_F(AtFaultSweep, PortPreparationSurvivesEveryExchangeFailing) {
    const Script good = {{"AT+IPR=115200\r", {kOk}}, {"ATI\r", {"\r\nQRE\r\n" + kOk}}};
    Outcome reference = Run(good, PrepareModulePort);
    ASSERT_TRUE(reference.result);
    ASSERT_EQ(reference.newFamily, 1);
    ASSERT_EQ(reference.writes, (std::vector<std::string>{"AT+IPR=115200\r", "ATI\r"}));

    for (std::size_t i = 0; i < reference.writes.size(); ++i) {
        const std::string& command = reference.writes[i];
        for (const FaultKind& kind : kKinds) {
            for (bool fromThenOn : {false, true}) {
                Outcome o = Run(Faulted(good, reference.writes, i, kind.reply, fromThenOn), PrepareModulePort);
                std::string where = CheckBounded(o, command, kind) + (fromThenOn ? " from then on" : " once");
                if (command == "ATI\r") {
                    // Identification failing is not fatal: the module is taken for an older family.
                    EXPECT_TRUE(o.result) << where;
                    EXPECT_EQ(std::count(o.writes.begin(), o.writes.end(), "ATI\r"), 5) << where;
                } else if (!fromThenOn) {
                    // The next rate of the trial order gets the rate command through.
                    EXPECT_TRUE(o.result) << where;
                    EXPECT_EQ(o.newFamily, 1) << where;
                } else {
                    EXPECT_FALSE(o.result) << where;
                    EXPECT_NE(o.err.find("\nFailed to set baud rate!"), std::string::npos) << where << ": " << o.err;
                    // Every rate of the trial order was tried once, and nothing came after.
                    EXPECT_EQ(o.writes, std::vector<std::string>(8, "AT+IPR=115200\r")) << where;
                }
            }
        }
    }
}

TEST_F(AtFaultSweep, ProgramStartFailsOnEveryExchangeFailing) {
    auto newFamilySession = [] {
        Settings.NewModuleFamily = 1;
        Settings.ModuleFolder = "/sys/";
        Application.ModuleJadName = "calc.jad";
        Application.ModuleJarName = "calc.jar";
    };
    const Script good = {{"ATE0\r", {kOk}}, {"at^kjra=/sys/calc.jad\r", {kOk}}};
    Outcome reference = Run(good, StartModuleProgram, newFamilySession);
    ASSERT_TRUE(reference.result);
    ASSERT_EQ(reference.writes, (std::vector<std::string>{"ATE0\r", "at^kjra=/sys/calc.jad\r"}));

    for (std::size_t i = 0; i < reference.writes.size(); ++i) {
        const std::string& command = reference.writes[i];
        for (const FaultKind& kind : kKinds) {
            for (bool fromThenOn : {false, true}) {
                Outcome o = Run(Faulted(good, reference.writes, i, kind.reply, fromThenOn), StartModuleProgram,
                                newFamilySession);
                std::string where = CheckBounded(o, command, kind) + (fromThenOn ? " from then on" : " once");
                EXPECT_FALSE(o.result) << where;
                // Nothing is sent after the command that failed.
                EXPECT_EQ(o.writes, std::vector<std::string>(reference.writes.begin(), reference.writes.begin() + i + 1))
                    << where;
            }
        }
    }
}
