// Many JVM threads and processes on the same keys, and a writer killed in mid-write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry_store.h"
#include "support/jvm/java_runner.h"
#include "support/temp_folder.h"

namespace {

using namespace regaccess::testing;

constexpr int kProcesses = 3;
constexpr int kThreads = 4;
constexpr int kIterations = 40;

TEST(JvmConcurrency, ThreadsAndProcessesWritingTheSameKeysLoseNothing) {
    TempFolder folder("concurrent");
    JavaRunner java(folder.File("store"));
    std::vector<std::unique_ptr<platform::Process>> writers;
    for (int p = 0; p < kProcesses; ++p) {
        writers.push_back(java.Start("modlink.regaccess.RegStress",
                                     {"write", std::to_string(p), std::to_string(kThreads), std::to_string(kIterations)}));
        ASSERT_NE(writers.back(), nullptr);
    }
    for (int p = 0; p < kProcesses; ++p) {
        std::string output;
        WaitForLine(*writers[p], "wrote", &output);
        int exitCode = -1;
        ASSERT_TRUE(writers[p]->Wait(120000, &exitCode));
        EXPECT_EQ(exitCode, 0) << output;
        EXPECT_NE(output.find("errors 0"), std::string::npos) << output;
    }
    const JavaRun verify = java.Run("modlink.regaccess.RegStress", {"verify", std::to_string(kProcesses),
                                                                   std::to_string(kThreads), std::to_string(kIterations)});
    EXPECT_EQ(verify.exitCode, 0) << verify.output;
    EXPECT_NE(verify.output.find("verified " + std::to_string(kProcesses * kThreads * kIterations) + " errors 0"),
              std::string::npos)
        << verify.output;
    std::string report;
    EXPECT_TRUE(platform::registry::CheckRegistryStore(folder.File("store"), &report)) << report;
}

TEST(JvmConcurrency, AWriterKilledInMidWriteLeavesAConsistentStore) {
    TempFolder folder("killed");
    JavaRunner java(folder.File("store"));
    // Kill at a few different points; each run adds to what the earlier ones left.
    for (int round = 0; round < 3; ++round) {
        auto writer = java.Start("modlink.regaccess.RegStress", {"forever"});
        ASSERT_NE(writer, nullptr);
        std::string output;
        ASSERT_TRUE(WaitForLine(*writer, "wrote " + std::to_string(20 + 37 * round), &output)) << output;
        ASSERT_TRUE(writer->Terminate(9));
        int exitCode = 0;
        ASSERT_TRUE(writer->Wait(10000, &exitCode));
        std::string report;
        EXPECT_TRUE(platform::registry::CheckRegistryStore(folder.File("store"), &report)) << report;
        const JavaRun survived = java.Run("modlink.regaccess.RegStress", {"survived"});
        EXPECT_EQ(survived.exitCode, 0) << survived.output;
        EXPECT_NE(survived.output.find("errors 0"), std::string::npos) << survived.output;
    }
}

} // namespace
