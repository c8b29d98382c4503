// DescPick as scripts see it: standard output and exit status of the built program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/os_family.h"
#include "platform/process.h"

namespace {

const std::string Program = MODLINK_BINARY_DIR "/bin/DescPick";

// The status a parent sees for DescPick's exit code: Windows keeps all of it, POSIX the low 8 bits.
int StatusOf(int code) { return platform::HostOsFamily() == platform::OsFamily::Windows ? code : code & 255; }

struct Result {
    std::string output;
    int status = -100;
};

Result RunDescPick(std::vector<std::string> arguments) {
    platform::ProcessOptions options;
    options.arguments = {Program};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.output = platform::ChildOutput::Pipe;
    options.inheritInput = false;
    Result result;
    int error = 0;
    result.status = platform::RunToEnd(options, &result.output, &error);
    return result;
}

class DescPick : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("descpick_itest_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string Jad(const std::string& content) {
        std::string path = (folder_ / "app.jad").string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::filesystem::path folder_;
};

const std::string Usage =
    "Printout a property of a jad file\r\n\r\nUsage:\r\n  DescPut  <Jad-File>  <Property-Name>\r\n\r\n"
    "Jad-File      : Name of the jad file to be queried.\r\n"
    "Property-Name : Name of the property to be queried.\r\n\r\n";

TEST_F(DescPick, WrongArgumentCountPrintsUsageWithCodeMinus1) {
    for (auto args : std::vector<std::vector<std::string>>{{}, {"a.jad"}, {"a.jad", "K", "extra"}}) {
        Result r = RunDescPick(args);
        EXPECT_EQ(r.output, Usage);
        EXPECT_EQ(r.status, StatusOf(-1));
    }
}

TEST_F(DescPick, UnreadableFileGivesFileErrorWithCodeMinus2) {
    std::string missing = (folder_ / "missing.jad").string();
    Result r = RunDescPick({missing, "MIDlet-Name"});
    EXPECT_EQ(r.output, "Error: Failed to read jad file " + missing + "\r\n");
    EXPECT_EQ(r.status, StatusOf(-2));
    Result dir = RunDescPick({folder_.string(), "MIDlet-Name"});
    EXPECT_EQ(dir.output, "Error: Failed to read jad file " + folder_.string() + "\r\n");
    EXPECT_EQ(dir.status, StatusOf(-2));
}

TEST_F(DescPick, FoundValueIsPrintedAsStoredWithoutLineEnd) {
    std::string jad = Jad("MIDlet-Name:  Demo 100%s %d%%  \r\nMIDlet-Jar-URL: http://h:80/a.jar\r\n");
    Result name = RunDescPick({jad, "MIDlet-Name"});
    EXPECT_EQ(name.output, "Demo 100%s %d%%");
    EXPECT_EQ(name.status, 0);
    Result url = RunDescPick({jad, "MIDlet-Jar-URL"});
    EXPECT_EQ(url.output, "http://h:80/a.jar");
    EXPECT_EQ(url.status, 0);
}

TEST_F(DescPick, MissingOrEmptyPropertyGivesPropertyErrorWithCodeMinus2) {
    struct Case {
        std::string content, property;
    };
    for (const Case& c : {Case{"MIDlet-Name: Demo\n", "midlet-name"}, Case{"MIDlet-Name:   \n", "MIDlet-Name"},
                          Case{"", "MIDlet-Name"}, Case{"MIDlet-Name: Demo\n", "%s%n%s"}}) {
        Result r = RunDescPick({Jad(c.content), c.property});
        EXPECT_EQ(r.output, "Error: Failed to read given property " + c.property + "\r\n");
        EXPECT_EQ(r.status, StatusOf(-2));
    }
}

TEST_F(DescPick, CrOnlyAndLfOnlyFilesAndDuplicatesReadAlike) {
    for (const char* content : {"A: 1\rMIDlet-Name: Demo\rMIDlet-Name: Other\r",
                                "A: 1\nMIDlet-Name: Demo\nMIDlet-Name: Other\n"}) {
        Result r = RunDescPick({Jad(content), "MIDlet-Name"});
        EXPECT_EQ(r.output, "Demo");
        EXPECT_EQ(r.status, 0);
    }
}

} // namespace
