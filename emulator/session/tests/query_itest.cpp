// The informational calls of the built emulator: usage, -help, -version and -Xquery, with the
// module identity of each installed dial-up entry and the lists read from real JARs.
#include <gtest/gtest.h>

#include "support/emulator_runner.h"

using namespace sessiontest;

namespace {

const char NotInstalled[] =
    "\nDebug RAS connection is not installed!"
    "\nPlease start Brelmont HRZN setup in maintenance mode and select \"Repair\".\n";

std::string Usage(const std::string& program) {
    return "\nUsage: " + program +
           " [<options>] <class>\n\n"
           "       Run the MIDlet given in <class> from the classpath.\n\n"
           "Options include:\n"
           "    -version                Show version info and exit\n"
           "    -help                   Show this message and exit\n"
           "    -classpath <path>       Directories and zip files to search for classes\n"
           "    -Xdescriptor:<jad-file> Run application using the specified application\n"
           "                            descriptor file\n"
           "    -Xquery                 Query supported devices and device options\n"
           "    -Xdevice:<device name>  Name of the device to be emulated\n\n"
           "with these debugging options:\n"
           "    -Xdebug\n"
           "    -Xrunjdwp:[transport=<transp.>,address=<addr>,suspend=<y/n>,server=<y/n>]\n"
           "                            Debugging options, transport must be \"dt_socket\"\n"
           "                            (default), server must be \"y\" (default)\n"
           "    -Xverbose:<level>       There is no verbosity level used inside the\n"
           "                            emulator itself, this parameter defines the\n"
           "                            verbosity level of the debug agent which can be\n"
           "                            \"-v 1\" ... \"-v 9\"\n"
           "    -noload                 Suppress downloading of Jar and Jad files\n"
           "    -udpport:<port>         The port used for output of MIDlet \"System.out\"\n"
           "                            inside Java IDE. This setting can also be altered\n"
           "                            via the \"WM_Debug_config.ini\". Setting this\n"
           "                            parameter via the command line overwrites a\n"
           "                            possible setting in the ini file.\n\n";
}

std::string PropertiesBlock(const std::string& device, const std::string& description,
                            const std::string& configurations, const std::string& profiles,
                            const std::string& optionals, const std::string& bootClassPath) {
    return "# Properties for device " + device + "\n" + device + ".descriptor: " + description +
           "\n" + device + ".version.configuration: " + configurations + "\n" + device +
           ".version.profile: " + profiles + "\n" + device + ".apis.supported: " + optionals +
           "\n" + device + ".bootclasspath: " + bootClassPath + "\n" + device +
           ".apis: " + bootClassPath + "\n" + device +
           ".uei.arguments: Xdescriptor,Xquery,Xdevice,Xdebug,Xrunjdwp,Xverbose\n\n";
}

std::string DeviceList(const std::string& device) {
    return "# List of supported devices\ndevice.list: " + device +
           "\nuei.version: 1.6.4.0\nuei.arguments: Xdescriptor,Xquery,Xdevice,Xdebug,Xrunjdwp,"
           "Xverbose\n\n";
}

} // namespace

TEST(UsageTest, NoArgumentsAndHelpPrintTheUsageWithoutNeedingTheIni) {
    TestToolkit kit(/*withIni=*/false);
    RunResult bare = kit.Run({});
    EXPECT_EQ(bare.status, 0);
    EXPECT_EQ(bare.out, Usage(kit.Program().string()));

    // -help is answered only once the INI file was found.
    RunResult help = kit.Run({"-help"});
    EXPECT_EQ(help.status, StatusOf(1871));
    WriteFileText(kit.Ini(), "[Debug]\n");
    help = kit.Run({"-help", "-version"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, Usage(kit.Program().string()));
    EXPECT_EQ(help.err, NotInstalled);
}

TEST(QueryTest, AnswersFromTheSampleLibrariesWithTheDefaultIdentity) {
    TestToolkit kit;
    kit.CopySampleLibraries();
    const std::string lib = kit.Lib().string();
    const std::string boot = lib + "/cldc-1.1.jar," + lib + "/imp-ng-1.0.jar," + lib + "/m2m-io-2.0.jar";

    RunResult version = kit.Run({"-version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Brelmont IMP-NG Module Workbench\nVersion: 1.6.4.0\n"
                           "Profile: IMP-NG-1.0\nConfiguration: CLDC-1.1\nOptional: M2M-IO-2.0\n");
    EXPECT_EQ(version.err, NotInstalled);

    RunResult query = kit.Run({"-Xquery"});
    EXPECT_EQ(query.status, 0);
    EXPECT_EQ(query.out, DeviceList("IMP_NG_DefaultDevice") +
                             PropertiesBlock("IMP_NG_DefaultDevice", "Brelmont IMP-NG Default Device",
                                             "CLDC-1.1", "IMP-NG-1.0", "M2M-IO-2.0", boot));
    EXPECT_EQ(query.err, NotInstalled);
}

TEST(QueryTest, LibraryFolderWithOtherFilesAndFolders) {
    TestToolkit kit;
    // Files that are no JAR count for the boot class path only; folders are left out.
    WriteFileText(kit.Lib() / "readme.txt", "not a jar\n");
    WriteFileText(kit.Lib() / "broken.jar", std::string("PK\x03\x04garbage\0\xff", 14));
    std::filesystem::create_directories(kit.Lib() / "sub.jar");
    const std::string lib = kit.Lib().string();
    RunResult query = kit.Run({"-Xdevice:IMP_NG_DefaultDevice", "-Xquery"});
    EXPECT_EQ(query.status, 0);
    EXPECT_EQ(query.out,
              PropertiesBlock("IMP_NG_DefaultDevice", "Brelmont IMP-NG Default Device", "", "", "",
                              lib + "/broken.jar," + lib + "/readme.txt"));

    RunResult version = kit.Run({"-version"});
    EXPECT_EQ(version.out, "Brelmont IMP-NG Module Workbench\nVersion: 1.6.4.0\nProfile: \n"
                           "Configuration: \n");
}

TEST(QueryTest, EachCandidateEntryGivesItsFamilyNames) {
    const char* families[] = {"QREx", "QRDx", "QRCx", "QRBx"};
    for (const char* family : families) {
        SCOPED_TRACE(family);
        TestToolkit kit;
        kit.AddDialUpEntry(std::string("IP connection for remote debugging of ") + family, "", "");
        const std::string device = std::string("IMP_NG_") + family;
        const std::string description = std::string("Brelmont IMP-NG ") + family + " Module";

        RunResult version = kit.Run({"-version"});
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out, std::string("IMP-NG ") + family +
                                   " Module Workbench by Brelmont\nVersion: 1.6.4.0\nProfile: \n"
                                   "Configuration: \n");
        EXPECT_EQ(version.err, "");

        RunResult query = kit.Run({"-Xquery"});
        EXPECT_EQ(query.status, 0);
        EXPECT_EQ(query.out, DeviceList(device) + PropertiesBlock(device, description, "", "", "", ""));
    }
}

TEST(QueryTest, FirstInstalledCandidateWins) {
    TestToolkit kit;
    WriteFileText(kit.Config() / "rasphone.pbk",
                  "[IP connection for remote debugging of QRBx]\nDevice=B\n"
                  "[IP connection for remote debugging of QRDx]\nDevice=D\n");
    RunResult version = kit.Run({"-version"});
    EXPECT_EQ(version.out.substr(0, version.out.find('\n')), "IMP-NG QRDx Module Workbench by Brelmont");
}

TEST(QueryTest, DeviceSelectionAndOrderOfArguments) {
    TestToolkit kit;
    // A longer name that begins with the device's name is accepted.
    RunResult selected = kit.Run({"-Xdevice:IMP_NG_DefaultDevice_extra", "-Xquery"});
    EXPECT_EQ(selected.status, 0);
    EXPECT_EQ(selected.out.rfind("# Properties for device IMP_NG_DefaultDevice\n", 0), 0u);

    // The query is answered before a later unknown device is looked at.
    RunResult early = kit.Run({"-Xquery", "-Xdevice:Unknown"});
    EXPECT_EQ(early.status, 0);
    EXPECT_EQ(early.out.rfind("# List of supported devices\n", 0), 0u);

    RunResult unknown = kit.Run({"-Xdevice:Unknown"});
    EXPECT_EQ(unknown.status, StatusOf(890));
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err, std::string(NotInstalled) + "\n-Xdevice: Unknown device\n"
                                                       "File upload and debugging are aborted!\n");

    // -Xquery is a prefix option; -version is not.
    EXPECT_EQ(kit.Run({"-Xqueryall"}).status, 0);
    RunResult versionLike = kit.Run({"-versions"});
    EXPECT_EQ(versionLike.status, 0);
    EXPECT_NE(versionLike.err.find("\nWarning, invalid argument: \"-versions\"\n\n"), std::string::npos);
}

TEST(QueryTest, MissingIniEndsEveryCallBeforeTheAnswer) {
    TestToolkit kit(/*withIni=*/false);
    RunResult query = kit.Run({"-Xquery"});
    EXPECT_EQ(query.status, StatusOf(1871));
    EXPECT_EQ(query.out, "");
    EXPECT_EQ(query.err, std::string(NotInstalled) +
                             "\n\"WM_Debug_config.ini\" file not found!\n"
                             "File upload and debugging are aborted!\n");
    // A folder of that name is no INI file.
    std::filesystem::create_directories(kit.Ini());
    EXPECT_EQ(kit.Run({"-version"}).status, StatusOf(1871));
}

TEST(QueryTest, AnswersWithoutAnyJdk) {
    TestToolkit kit;
    kit.CopySampleLibraries();
    // Neither JAVA_HOME nor PATH leads to a java program: the manifests are read all the same.
    const std::filesystem::path empty = kit.Scratch() / "empty-bin";
    std::filesystem::create_directories(empty);
    const std::map<std::string, std::string> noJdk = {{"PATH", empty.string()},
                                                      {"JAVA_HOME", (kit.Scratch() / "no-jdk").string()}};
    RunResult version = kit.Run({"-version"}, noJdk);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Brelmont IMP-NG Module Workbench\nVersion: 1.6.4.0\n"
                           "Profile: IMP-NG-1.0\nConfiguration: CLDC-1.1\nOptional: M2M-IO-2.0\n");
    RunResult query = kit.Run({"-Xdevice:IMP_NG_DefaultDevice", "-Xquery"}, noJdk);
    EXPECT_EQ(query.status, 0);
    EXPECT_NE(query.out.find("IMP_NG_DefaultDevice.version.profile: IMP-NG-1.0\n"), std::string::npos) << query.out;
    EXPECT_NE(query.out.find("IMP_NG_DefaultDevice.apis.supported: M2M-IO-2.0\n"), std::string::npos) << query.out;
}
