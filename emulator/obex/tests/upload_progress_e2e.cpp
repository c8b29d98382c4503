// The upload's progress line in whole run sessions: shown on a terminal, redrawn in place and
// cleared for every file; absent when the output goes through a pipe, as an IDE reads it.
#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>

#include "platform/serial_pty.h"
#include "support/module_session.h"

using obextest::ModuleSession;

namespace {

class UploadProgress : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(std::string(MODLINK_BINARY_DIR) + "/testkit/toolkit/apps/calc/calc.jar") ||
            !std::filesystem::exists(std::string(MODLINK_BINARY_DIR) + "/bin/modsim")) {
            GTEST_SKIP() << "the sample toolkit or modsim is not built";
        }
    }
};

// A run session's whole output as the emulator printed it before the progress display existed;
// the port is the simulator's, a different one each time.
const char SessionOutput[] =
    "=========================================================\n"
    "Starting QREx emulator for running application.\n"
    "=========================================================\n\n"
    "Using port PORT with 115200 Baud.\n\n"
    "Connecting to module...\n"
    "Downloading Jar and Jad file...\n"
    "Starting Java program inside the module...\n\n"
    "Java program is started inside the module without debugging.\n"
    "Emulator is closed, while the java program is running inside the module.\n";

std::string WithoutPort(const std::string& text) {
    return std::regex_replace(text, std::regex("rfc2217://127\\.0\\.0\\.1:[0-9]+"), "PORT");
}

// Each file's progress: lines that each begin with a carriage return, then blanks between two
// carriage returns that clear them.
const std::regex ProgressBlock("\r[^\n]*?\r +\r");

} // namespace

TEST_F(UploadProgress, ATerminalShowsALinePerFileAndAPipeGetsOnlyTheSessionText) {
    ModuleSession module(1);
    ASSERT_TRUE(module.Started());
    const auto jad = module.MakeApplication();

    const auto piped = module.Run(jad);
    ASSERT_EQ(piped.status, 0) << piped.output;
    EXPECT_EQ(WithoutPort(piped.output), SessionOutput);

    int error = 0;
    auto terminal = platform::PtyMaster::Create(&error);
    ASSERT_NE(terminal, nullptr) << error;
    std::string screen;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        char buffer[4096];
        // After the session has ended, read until the terminal stays quiet.
        for (;;) {
            const long n = terminal->Read(buffer, sizeof(buffer), 200);
            if (n > 0) screen.append(buffer, static_cast<std::size_t>(n));
            else if (n < 0 || done) break;
        }
    });
    const auto shown = module.Run(jad, terminal->DevicePath());
    done = true;
    reader.join();
    ASSERT_EQ(shown.status, 0) << shown.output << screen;
    EXPECT_EQ(shown.output, ""); // standard error

    // One block per uploaded file (three JAD/JAR pairs), each naming its file with its size.
    std::vector<std::string> blocks;
    for (auto it = std::sregex_iterator(screen.begin(), screen.end(), ProgressBlock); it != std::sregex_iterator(); ++it) {
        blocks.push_back(it->str());
    }
    ASSERT_EQ(blocks.size(), 6u) << screen;
    const char* names[] = {"calc.jad", "calc.jar", "mathlib.jad", "mathlib.jar", "strlib.jad", "strlib.jar"};
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::string size = std::to_string(std::filesystem::file_size(jad.parent_path() / names[i]));
        EXPECT_EQ(blocks[i].rfind(std::string("\r") + names[i] + "  0/" + size + " bytes  0%", 0), 0u) << blocks[i];
    }
    // Without the progress the terminal saw exactly what the pipe got.
    EXPECT_EQ(std::regex_replace(screen, ProgressBlock, ""), piped.output);
}
