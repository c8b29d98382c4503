// Options of the UEI command line that end a call, or change it, as the IDE sees them: output,
// error text and exit status of the built emulator.
#include <gtest/gtest.h>

#include "support/emulator_runner.h"

using namespace sessiontest;

namespace {

const char Aborted[] = "File upload and debugging are aborted!\n";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// What the call printed on stderr after the "not installed" lines of a PC without an entry.
std::string ErrAfterEntryCheck(const RunResult& result) {
    const std::string lines =
        "\nDebug RAS connection is not installed!"
        "\nPlease start Brelmont HRZN setup in maintenance mode and select \"Repair\".\n";
    return result.err.rfind(lines, 0) == 0 ? result.err.substr(lines.size()) : result.err;
}

} // namespace

TEST(CommandLineErrors, RunJdwpItems) {
    TestToolkit kit;
    struct Case {
        const char* argument;
        int code;
        const char* message;
    } cases[] = {
        {"-Xrunjdwp:transport=dt_socket,address=,suspend=y", 817, "\nMissing port for address option!\n"},
        {"-Xrunjdwp:address=", 817, "\nMissing port for address option!\n"},
        {"-Xrunjdwp:transport=shmem", 834, "\n-Xrunjdwp: Unsupported or unknown parameter\n"},
        {"-Xrunjdwp:", 834, "\n-Xrunjdwp: Unsupported or unknown parameter\n"},
        {"-Xrunjdwp:address=8000,,server=y", 834, "\n-Xrunjdwp: Unsupported or unknown parameter\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        RunResult result = kit.Run({c.argument});
        EXPECT_EQ(result.status, StatusOf(c.code));
        EXPECT_EQ(ErrAfterEntryCheck(result), std::string(c.message) + Aborted);
    }
    // Accepted items let the call go on to the next argument.
    RunResult accepted =
        kit.Run({"-Xrunjdwp:transport=dt_socket,address=host:8000,server=y,suspend=n", "-version"});
    EXPECT_EQ(accepted.status, 0);
    EXPECT_TRUE(Contains(accepted.out, "Version: 1.6.4.0\n"));
}

TEST(CommandLineErrors, ClasspathDescriptorAndMissingJarPath) {
    TestToolkit kit;
    RunResult last = kit.Run({"-classpath"});
    EXPECT_EQ(last.status, StatusOf(938));
    EXPECT_EQ(ErrAfterEntryCheck(last), std::string("\nMissing classpath for classpath option\n") + Aborted);

    // Neither a JAD nor -classpath: nothing to run.
    RunResult none = kit.Run({"-Xdebug", "SomeClass"});
    EXPECT_EQ(none.status, StatusOf(1891));
    EXPECT_EQ(ErrAfterEntryCheck(none), std::string("\nCommand line path not set!\n") + Aborted);

    const std::string invalidJad = std::string("\n-Xdescriptor: Invalid application descriptor file\n") + Aborted;
    RunResult missing = kit.Run({"-Xdescriptor:" + (kit.Scratch() / "nothing.jad").string()});
    EXPECT_EQ(missing.status, StatusOf(873));
    EXPECT_EQ(ErrAfterEntryCheck(missing), invalidJad);

    WriteFileText(kit.Scratch() / "empty.jad", "");
    RunResult empty = kit.Run({"-Xdescriptor:" + (kit.Scratch() / "empty.jad").string()});
    EXPECT_EQ(empty.status, StatusOf(873));
    EXPECT_EQ(ErrAfterEntryCheck(empty), invalidJad);

    // Binary garbage and a huge file without a JAR URL are read and refused, never a crash.
    std::string garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage += static_cast<char>((i * 37 + 11) & 0xFF);
    }
    WriteFileText(kit.Scratch() / "garbage.jad", garbage);
    RunResult binary = kit.Run({"-Xdescriptor:" + (kit.Scratch() / "garbage.jad").string()});
    EXPECT_EQ(binary.status, StatusOf(873));
    EXPECT_TRUE(Contains(binary.err, "No \"MIDlet-Jar-URL\" tag found") ||
                Contains(binary.err, "Invalid application descriptor file"));

    WriteFileText(kit.Scratch() / "huge.jad", std::string(24 * 1024 * 1024, 'x') + "\nMIDlet-Name: x\n");
    RunResult huge = kit.Run({"-Xdescriptor:" + (kit.Scratch() / "huge.jad").string()});
    EXPECT_EQ(huge.status, StatusOf(873));
    EXPECT_EQ(ErrAfterEntryCheck(huge),
              std::string("Wrong Jad file format: No \"MIDlet-Jar-URL\" tag found in the used Jad-file!\n") +
                  invalidJad);

    // Larger than any descriptor: refused without reading it into memory.
    std::filesystem::resize_file(kit.Scratch() / "huge.jad", 65ull * 1024 * 1024);
    EXPECT_EQ(kit.Run({"-Xdescriptor:" + (kit.Scratch() / "huge.jad").string()}).status, StatusOf(873));

    // A JAD folder is not a readable JAD.
    RunResult folder = kit.Run({"-Xdescriptor:" + kit.Scratch().string()});
    EXPECT_EQ(folder.status, StatusOf(873));
}

TEST(CommandLineOptions, IgnoredAndReportedOptionsLetTheCallGoOn) {
    TestToolkit kit;
    RunResult result = kit.Run({"-Dfoo=bar", "-Xheapsize:8M", "-noload", "-udpport:", "-emulog",
                                "SomeClass", "-version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "The feature \"-D\" is not supported! Ignoring this parameter!\n\n"
                          "The option \"-Xheapsize\" is not supported! Ignoring this parameter!\n\n"
                          "Brelmont IMP-NG Module Workbench\nVersion: 1.6.4.0\nProfile: \n"
                          "Configuration: \n");
}

TEST(CommandLineOptions, VerboseLevels) {
    TestToolkit kit;
    RunResult five = kit.Run({"-Xverbose:-v", "5", "-version"});
    EXPECT_EQ(five.status, 0);
    EXPECT_EQ(five.out.rfind("Xverbose option for DebugAgent is set to \" -v 5\"\n\nBrelmont", 0), 0u);

    for (const char* level : {"0", "10"}) {
        SCOPED_TRACE(level);
        RunResult bad = kit.Run({"-Xverbose:-v", level, "-version"});
        EXPECT_EQ(bad.status, 0);
        EXPECT_EQ(bad.out.rfind(std::string("No Xverbose option for DebugAgent is set!\n"
                                            "The option \"-v ") + level + "\" is not allowed.\n\nBrelmont", 0),
                  0u);
    }
    // The level missing altogether.
    RunResult missing = kit.Run({"-Xverbose:-v"});
    EXPECT_EQ(missing.out.rfind("No Xverbose option for DebugAgent is set!\nThe option \"-v \" is not allowed.\n\n", 0),
              0u);

    // Without -v the option is reported, then refused as an invalid argument with the usage.
    RunResult noV = kit.Run({"-Xverbose:3", "-version"});
    EXPECT_EQ(noV.status, 0);
    EXPECT_EQ(noV.out.rfind("The feature \"-Xverbose:\" is only implemented for verbose options of the "
                            "Debug Agent!\n\n\nUsage: ", 0),
              0u);
    EXPECT_EQ(ErrAfterEntryCheck(noV), "\nWarning, invalid argument: \"-Xverbose:3\"\n\n");
    EXPECT_FALSE(Contains(noV.out, "Version:"));
}

TEST(CommandLineOptions, InvalidArgumentPrintsWarningAndUsage) {
    TestToolkit kit;
    RunResult result = kit.Run({"-Xunknown", "-version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(ErrAfterEntryCheck(result), "\nWarning, invalid argument: \"-Xunknown\"\n\n");
    EXPECT_EQ(result.out.rfind("\nUsage: ", 0), 0u);
    // Percent signs in an argument are printed as they are.
    RunResult percent = kit.Run({"-%s%d%n"});
    EXPECT_EQ(ErrAfterEntryCheck(percent), "\nWarning, invalid argument: \"-%s%d%n\"\n\n");
}
