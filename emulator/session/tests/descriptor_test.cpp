// JAD lines and the reading of a descriptor into the application record.
#include "session/descriptor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/records.h"

namespace fs = std::filesystem;

namespace {

TEST(GetAttributeValue, BlanksAroundKeyColonAndValueAreIgnoredButCaseIsNot) {
    for (const char* line : {"MIDlet-Jar-URL:app.jar", "MIDlet-Jar-URL: app.jar", "  MIDlet-Jar-URL  :  app.jar \t",
                             "\tMIDlet-Jar-URL\t:\tapp.jar\v\f"}) {
        std::string jad = std::string("MIDlet-Name: Demo\r\n") + line + "\r\nMIDlet-Version: 1.0\r\n";
        EXPECT_EQ(GetAttributeValue(jad, "MIDlet-Jar-URL", ":"), "app.jar") << line;
    }
    EXPECT_EQ(GetAttributeValue("midlet-jar-url: app.jar\n", "MIDlet-Jar-URL", ":"), "");
}

TEST(GetAttributeValue, FirstColonSplitsAndFirstLineWins) {
    std::string jad = "MIDlet-Jar-URL: http://host:8080/a.jar\nMIDlet-Jar-URL: second.jar\n";
    EXPECT_EQ(GetAttributeValue(jad, "MIDlet-Jar-URL", ":"), "http://host:8080/a.jar");
    EXPECT_EQ(GetAttributeValue(jad, "MIDlet-Jar-URL", ""), "");
    EXPECT_EQ(GetAttributeValue("A=1\nB = two = 2\n", "B", "="), "two = 2");
}

TEST(GetAttributeValue, LineEndsOfAnyKindAndContinuationLines) {
    EXPECT_EQ(GetAttributeValue("A: 1\rB: 2\r", "B", ":"), "2");
    EXPECT_EQ(GetAttributeValue("A: 1\n\n\r\nB: 2", "B", ":"), "2");
    std::string wrapped = "MIDlet-Description: first\n second: half\n";
    EXPECT_EQ(GetAttributeValue(wrapped, "MIDlet-Description", ":"), "first");
    EXPECT_EQ(GetAttributeValue(wrapped, "second", ":"), "half");
}

TEST(GetAttributeValue, TextEndsAtTheFirstZeroByte) {
    std::string text("A: 1\n\0B: 2\n", 11);
    EXPECT_EQ(GetAttributeValue(text, "A", ":"), "1");
    EXPECT_EQ(GetAttributeValue(text, "B", ":"), "");
}

class DescriptorFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("descriptor_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "dist");
        folder_ = fs::canonical(folder_);
        Application = ApplicationRecord();
    }
    void TearDown() override {
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(folder_);
    }
    std::string Write(const std::string& relative, const std::string& content) {
        fs::path path = folder_ / relative;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }
    std::string Dist() const { return (folder_ / "dist").string() + "/"; }
    fs::path folder_;
};

TEST_F(DescriptorFiles, JarNextToTheJadAndOneLiblet) {
    std::string jad = Write("dist/app.jad", "MIDlet-Name: Demo\r\nMIDlet-Jar-URL: app.jar\r\nDependency-1: mylib;1.0;vendor\r\n");
    ASSERT_TRUE(ReadDescriptor(jad));
    EXPECT_EQ(Application.JarPath, Dist() + "app.jar");
    EXPECT_EQ(Application.DeployFolder, Dist());
    EXPECT_EQ(Application.LibletNames, std::vector<std::string>{"mylib"});
}

TEST_F(DescriptorFiles, DependenciesStopAtTheFirstGap) {
    std::string jad = Write("dist/app.jad", "MIDlet-Jar-URL: app.jar\nDependency-1: one\nDependency-3: three\n"
                                            "Dependency-2:\n");
    ASSERT_TRUE(ReadDescriptor(jad));
    EXPECT_EQ(Application.LibletNames, std::vector<std::string>{"one"});
}

TEST_F(DescriptorFiles, ThousandsOfDependenciesAreReadInOrderAndTheFirstLineOfEachWins) {
    std::string text = "MIDlet-Jar-URL: app.jar\r\n";
    for (int n = 1; n <= 16000; ++n) {
        text += "Dependency-" + std::to_string(n) + ": lib" + std::to_string(n) + ";1.0\r\n";
    }
    text += "Dependency-7: other\r\nMIDlet-Jar-URL: second.jar\r\n";
    ASSERT_TRUE(ReadDescriptor(Write("dist/app.jad", text)));
    EXPECT_EQ(Application.JarPath, Dist() + "app.jar");
    ASSERT_EQ(Application.LibletNames.size(), 16000u);
    EXPECT_EQ(Application.LibletNames[6], "lib7");
    EXPECT_EQ(Application.LibletNames.back(), "lib16000");
}

TEST(AttributeIndex, GivesWhatGetAttributeValueGives) {
    const std::string text = std::string("A: 1\r\n  B : two : 2 \n\nA: again\r: empty name\nC\n\tD:\n", 50) +
                             std::string("\0E: hidden\n", 12);
    for (const char* separator : {":", " : ", ""}) {
        AttributeIndex index(text, separator);
        for (const char* key : {"A", "B", "", "C", "D", "E", " A", "missing"}) {
            EXPECT_EQ(index.Value(key), GetAttributeValue(text, key, separator)) << key << separator;
        }
    }
    EXPECT_EQ(AttributeIndex(text, ":").Value("A"), "1");
    EXPECT_EQ(AttributeIndex(text, ":").Value("E"), "");
}

TEST_F(DescriptorFiles, RelativeJadPathAndJarInASubFolder) {
    fs::current_path(folder_);
    Write("dist/app.jad", "MIDlet-Jar-URL: bin\\app.jar\n");
    ASSERT_TRUE(ReadDescriptor("dist\\app.jad"));
    EXPECT_EQ(Application.JarPath, Dist() + "bin/app.jar");
    // LIBlets stay next to the JAD.
    EXPECT_EQ(Application.DeployFolder, Dist());

    Application = ApplicationRecord();
    Write("dist/app.jad", "MIDlet-Jar-URL: bin/app.jar\n");
    ASSERT_TRUE(ReadDescriptor("dist/app.jad"));
    EXPECT_EQ(Application.JarPath, Dist() + "bin/app.jar");
}

TEST_F(DescriptorFiles, UnreadableOrEmptyJadIsLoggedAndFails) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(ReadDescriptor(Write("dist/empty.jad", "")));
    EXPECT_FALSE(ReadDescriptor((folder_ / "dist" / "missing.jad").string()));
    EXPECT_FALSE(ReadDescriptor((folder_ / "dist").string()));
    EXPECT_FALSE(ReadDescriptor(Write("dist/zero.jad", std::string("\0MIDlet-Jar-URL: a.jar\n", 23))));
    // These failures go to the log only.
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(Application.JarPath.empty());
}

TEST_F(DescriptorFiles, JadWithoutJarUrlIsReportedOnTheConsole) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(ReadDescriptor(Write("dist/app.jad", "MIDlet-Name: Demo\nmidlet-jar-url: app.jar\n")));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Wrong Jad file format: No \"MIDlet-Jar-URL\" tag found in the used Jad-file!\n");
}

TEST_F(DescriptorFiles, BinaryGarbageIsNoDescriptor) {
    std::string garbage;
    for (int i = 1; i < 20000; ++i) {
        garbage += static_cast<char>(1 + (i * 131) % 255);
    }
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(ReadDescriptor(Write("dist/garbage.jad", garbage)));
    ::testing::internal::GetCapturedStderr();
}

TEST_F(DescriptorFiles, ReadWholeFileKeepsBytesAndRefusesHugeFiles) {
    std::string bytes("a\0b\r\n\xff", 6);
    EXPECT_EQ(ReadWholeFile(Write("bytes.bin", bytes)), bytes);
    EXPECT_EQ(LastReadError(), 0);

    EXPECT_EQ(ReadWholeFile((folder_ / "missing").string()), "");
    EXPECT_EQ(LastReadError(), static_cast<int>(std::errc::no_such_file_or_directory));

    // A sparse file costs no disk space but is far larger than any descriptor.
    fs::path huge = folder_ / "huge.jad";
    std::ofstream(huge).put('x');
    fs::resize_file(huge, 200u * 1024u * 1024u);
    EXPECT_EQ(ReadWholeFile(huge.string()), "");
    EXPECT_EQ(LastReadError(), static_cast<int>(std::errc::file_too_large));
}

TEST_F(DescriptorFiles, DeleteFolderTreeRemovesEverythingBelowButNotBehindLinks) {
    fs::create_directories(folder_ / "tree" / "a" / "b");
    fs::create_directories(folder_ / "keep");
    Write("tree/top.txt", "1");
    Write("tree/a/b/deep.txt", "2");
    Write("keep/precious.txt", "3");
    fs::create_directory_symlink(folder_ / "keep", folder_ / "tree" / "a" / "link");
    DeleteFolderTree((folder_ / "tree").string() + "//");
    EXPECT_FALSE(fs::exists(folder_ / "tree"));
    EXPECT_TRUE(fs::exists(folder_ / "keep" / "precious.txt"));
    DeleteFolderTree((folder_ / "absent").string()); // failures are ignored
}

} // namespace
