// Manifests read from JARs that the JDK's own jar tool made, held against what that tool
// extracts from them: stored and deflated archives (the tool writes its deflated entries with
// data descriptors).
#include "session/jar_manifest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/attribute_text.h"
#include "debuglink/java_tools.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace {

class JarManifest : public ::testing::Test {
protected:
    void SetUp() override {
        java_ = FindJavaExe();
        if (java_.empty()) {
            GTEST_SKIP() << "no JDK on this machine";
        }
        folder_ = fs::temp_directory_path() /
                  ("jar_manifest_itest_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "content" / "pkg");
        std::ofstream(folder_ / "content" / "pkg" / "Hello.txt") << std::string(5000, 'h');
    }
    void TearDown() override { fs::remove_all(folder_); }

    int Jar(const std::vector<std::string>& arguments, const std::string& workingFolder = "") {
        platform::ProcessOptions options;
        options.arguments = {(fs::path(java_).parent_path() / "jar").string()};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.workingFolder = workingFolder;
        options.output = platform::ChildOutput::Discard;
        int error = 0;
        return platform::RunToEnd(options, nullptr, &error);
    }
    // A JAR with the given manifest; flags "cfm" deflates, "c0fm" stores.
    std::string MakeJar(const std::string& name, const std::string& flags, const std::string& manifest) {
        std::ofstream(folder_ / "manifest.txt", std::ios::binary) << manifest;
        const std::string jar = (folder_ / name).string();
        EXPECT_EQ(Jar({flags, jar, (folder_ / "manifest.txt").string(), "-C", (folder_ / "content").string(), "."}), 0);
        return jar;
    }
    // What the jar tool itself extracts as the manifest.
    std::string ExtractedByTheTool(const std::string& jar) {
        const fs::path out = folder_ / ("x-" + fs::path(jar).stem().string());
        fs::create_directories(out);
        EXPECT_EQ(Jar({"xf", jar, "META-INF/MANIFEST.MF"}, out.string()), 0);
        return ReadWholeFile((out / "META-INF" / "MANIFEST.MF").string());
    }

    std::string java_;
    fs::path folder_;
};

TEST_F(JarManifest, SameBytesAsTheJarToolForStoredAndDeflatedArchives) {
    const std::string manifest = "Manifest-Version: 1.0\r\nAPI-Type: Profile\r\nAPI: IMP-NG\r\n"
                                 "API-Specification-Version: 1.0\r\n";
    for (const char* flags : {"cfm", "c0fm"}) {
        SCOPED_TRACE(flags);
        const std::string jar = MakeJar(std::string(flags) + ".jar", flags, manifest);
        const std::string read = ReadJarManifest(jar);
        EXPECT_EQ(read, ExtractedByTheTool(jar));
        EXPECT_EQ(GetAttributeValue(read, "API-Type", ":"), "Profile");
        EXPECT_EQ(GetAttributeValue(read, "API-Specification-Version", ":"), "1.0");
    }
}

TEST_F(JarManifest, RelativePathsAndLongManifests) {
    std::string manifest = "Manifest-Version: 1.0\nAPI-Type: Optional\n";
    for (int i = 0; i < 2000; ++i) manifest += "Name: pkg/C" + std::to_string(i) + ".class\nSHA-256-Digest: x\n\n";
    const std::string jar = MakeJar("rel.jar", "cfm", manifest);
    const fs::path saved = fs::current_path();
    fs::current_path(folder_);
    const std::string read = ReadJarManifest("rel.jar");
    fs::current_path(saved);
    EXPECT_EQ(read, ExtractedByTheTool(jar));
    EXPECT_EQ(GetAttributeValue(read, "API-Type", ":"), "Optional");
}

} // namespace
