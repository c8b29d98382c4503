// Manifests extracted with the JDK's real jar tool from JARs made for the test.
#include "session/jar_manifest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "debuglink/java_tools.h"
#include "platform/env.h"
#include "platform/process.h"
#include "session/descriptor.h"

namespace fs = std::filesystem;

namespace {

class JarManifest : public ::testing::Test {
protected:
    void SetUp() override {
        if (FindJavaExe().empty()) {
            GTEST_SKIP() << "no JDK on this machine";
        }
        folder_ = fs::temp_directory_path() /
                  ("jar_manifest_itest_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "content");
        fs::create_directories(folder_ / "tmp");
        std::ofstream(folder_ / "content" / "Hello.txt") << "hello";
        savedTmp_ = platform::GetEnv("TMPDIR");
        platform::SetEnv("TMPDIR", (folder_ / "tmp").string());
    }
    void TearDown() override {
        if (savedTmp_) {
            platform::SetEnv("TMPDIR", *savedTmp_);
        } else {
            platform::UnsetEnv("TMPDIR");
        }
        fs::remove_all(folder_);
    }
    // Builds a JAR with the given manifest text by running the JDK's jar tool.
    std::string MakeJar(const std::string& name, const std::string& manifest) {
        std::ofstream(folder_ / "manifest.txt", std::ios::binary) << manifest;
        std::string java = FindJavaExe();
        std::string jar = (folder_ / name).string();
        platform::ProcessOptions options;
        options.arguments = {(fs::path(java).parent_path() / "jar").string(), "cfm", jar,
                             (folder_ / "manifest.txt").string(), "-C", (folder_ / "content").string(), "."};
        options.output = platform::ChildOutput::Discard;
        int error = 0;
        EXPECT_EQ(platform::RunToEnd(options, nullptr, &error), 0);
        return jar;
    }
    fs::path folder_;
    std::optional<std::string> savedTmp_;
};

TEST_F(JarManifest, CrLfManifestIsReadAndNothingStaysBehind) {
    std::string jar = MakeJar("api.jar", "Manifest-Version: 1.0\r\nAPI-Type: Profile\r\nAPI: IMP-NG\r\n"
                                         "API-Specification-Version: 1.0\r\n");
    // A folder of the tool's name that was already in the temporary folder is not ours to touch.
    fs::create_directories(folder_ / "tmp" / "META-INF");
    std::ofstream(folder_ / "tmp" / "META-INF" / "MANIFEST.MF") << "Stale: yes\n";
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    std::string manifest = ReadJarManifest(jar);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(GetAttributeValue(manifest, "API-Type", ":"), "Profile");
    EXPECT_EQ(GetAttributeValue(manifest, "API", ":"), "IMP-NG");
    EXPECT_EQ(GetAttributeValue(manifest, "Stale", ":"), "");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder_ / "tmp")) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"META-INF"});
}

TEST_F(JarManifest, RelativeJarPathIsFound) {
    MakeJar("rel.jar", "Manifest-Version: 1.0\nAPI-Type: Optional\n");
    fs::path saved = fs::current_path();
    fs::current_path(folder_);
    std::string manifest = ReadJarManifest("rel.jar");
    fs::current_path(saved);
    EXPECT_EQ(GetAttributeValue(manifest, "API-Type", ":"), "Optional");
}

TEST_F(JarManifest, NonJarFilesAndMissingFilesGiveEmptyText) {
    std::ofstream(folder_ / "text.jar") << "this is not a zip archive";
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ReadJarManifest((folder_ / "text.jar").string()), "");
    EXPECT_EQ(ReadJarManifest((folder_ / "absent.jar").string()), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(fs::is_empty(folder_ / "tmp"));
}

TEST_F(JarManifest, NoJdkGivesEmptyText) {
    std::string jar = MakeJar("api.jar", "Manifest-Version: 1.0\nAPI-Type: Profile\n");
    auto savedHome = platform::GetEnv("JAVA_HOME");
    platform::SetEnv("JAVA_HOME", (folder_ / "nojdk").string());
    EXPECT_EQ(ReadJarManifest(jar), "");
    if (savedHome) {
        platform::SetEnv("JAVA_HOME", *savedHome);
    } else {
        platform::UnsetEnv("JAVA_HOME");
    }
}

} // namespace
