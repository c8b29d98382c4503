// Reading the classic debug configuration the module was given, and the VM's command line.
#include <gtest/gtest.h>

#include "debug_config.h"
#include "debug_vm.h"

namespace {

TEST(DebugConfigTest, ClassicCommandsGiveAddressesProgramAndPorts) {
    std::map<std::string, std::string> kcfg = {
        {"userware/debuginterface", "\"192.168.0.2\",\"192.168.0.1\",\"0\""},
        {"userware/mode", "\"debug\",\"a:/app.jar\",\"2800\""},
        {"userware/stdout", "UDP,5000"}};
    modsim::DebugConfig config = modsim::ReadDebugConfig(kcfg);
    EXPECT_TRUE(config.debugProgram);
    EXPECT_EQ(config.localIp, "192.168.0.2");
    EXPECT_EQ(config.remoteIp, "192.168.0.1");
    EXPECT_EQ(config.programPath, "a:/app.jar");
    EXPECT_EQ(config.debugPort, 2800);
    EXPECT_EQ(config.stdoutUdpPort, 5000);
}

TEST(DebugConfigTest, MissingOrOtherModesStartNoProgram) {
    EXPECT_FALSE(modsim::ReadDebugConfig({}).debugProgram);
    EXPECT_FALSE(modsim::ReadDebugConfig({{"userware/mode", "\"run\",\"a:/app.jar\",\"2800\""}}).debugProgram);
    EXPECT_FALSE(modsim::ReadDebugConfig({{"userware/mode", "\"debug\",\"a:/app.jar\",\"x\""}}).debugProgram);
    EXPECT_EQ(modsim::ReadDebugConfig({{"userware/stdout", "UDP,99999"}}).stdoutUdpPort, 0);
}

TEST(DebugConfigTest, ModulePathsMapToTheFirstDrive) {
    EXPECT_EQ(modsim::FlashPathOf("a:/app.jar", "/f/A"), "/f/A/app.jar");
    EXPECT_EQ(modsim::FlashPathOf("A:\\app.jar", "/f/A"), "/f/A/app.jar");
    EXPECT_EQ(modsim::FlashPathOf("/sys/app.jar", "/f/A"), "/f/A/app.jar");
    // Nothing outside the flash.
    EXPECT_EQ(modsim::FlashPathOf("a:/../etc/passwd", "/f/A"), "");
    EXPECT_EQ(modsim::FlashPathOf("a:/", "/f/A"), "");
}

TEST(DebugVmTest, VmWaitsForTheDebuggerOnAPrivateLoopbackPort) {
    modsim::DebugVmConfig config;
    config.runtimeJar = "/k/impng.jar";
    config.classPath = {"/f/A/app.jar", "/f/A/lib.jar"};
    config.program = "/f/A/app.jad";
    EXPECT_EQ(modsim::DebugVmArguments(config, ':'),
              (std::vector<std::string>{
                  "-agentlib:jdwp=transport=dt_socket,server=y,suspend=y,address=127.0.0.1:0", "-cp",
                  "/k/impng.jar:/f/A/app.jar:/f/A/lib.jar", "impng.MidletRunner", "/f/A/app.jad"}));
}

} // namespace
