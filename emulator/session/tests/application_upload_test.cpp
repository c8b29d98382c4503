// Upload order, error codes and the clean-up of uploaded files, against a fake of the module's
// four file operations.
#include "session/application_upload.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/records.h"

namespace fs = std::filesystem;

namespace {

// Records every call as one line; a call can be told to fail.
class FakeFileOperations : public ModuleFileOperations {
public:
    bool Init(const std::string& portName, uint32_t baudRate) override {
        calls.push_back("init " + portName + " " + std::to_string(baudRate));
        return !failInit;
    }
    bool Upload(const std::string& localPath) override {
        std::string name = fs::path(localPath).filename().string();
        calls.push_back("upload " + name);
        return name != failUpload;
    }
    bool Delete(const std::string& modulePath) override {
        calls.push_back("delete " + modulePath);
        return true;
    }
    void Deinit() override { calls.push_back("deinit"); }

    std::vector<std::string> calls;
    bool failInit = false;
    std::string failUpload;
};

class ApplicationUpload : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("application_upload_test_" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        Application = ApplicationRecord();
        Settings = SessionSettings();
        Settings.ComPortName = "rfc2217://127.0.0.1:4000";
        Settings.ComBaudRate = 115200;
        ForgetUploadedFiles();
        Application.JadPath = Touch("app.jad");
        Application.JarPath = Touch("app.jar");
        Application.DeployFolder = folder_.string() + "/";
    }
    void TearDown() override {
        ForgetUploadedFiles();
        fs::remove_all(folder_);
    }
    std::string Touch(const std::string& name) {
        std::string path = (folder_ / name).string();
        std::ofstream(path) << name;
        return path;
    }
    // Runs the upload; returns its code and the console's error output.
    std::pair<int, std::string> Upload() {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        int code = UploadApplicationFiles(fake_);
        std::string err = ::testing::internal::GetCapturedStderr();
        out_ = ::testing::internal::GetCapturedStdout();
        return {code, err};
    }
    std::vector<std::string> CleanUpCalls() {
        fake_.calls.clear();
        DeleteUploadedFiles(fake_);
        return fake_.calls;
    }
    fs::path folder_;
    FakeFileOperations fake_;
    std::string out_;
};

using Calls = std::vector<std::string>;

TEST_F(ApplicationUpload, ApplicationThenLibletsInDependencyOrderAndCleanUpRemovesExactlyThose) {
    Touch("libA.jad");
    Touch("libA.jar");
    Touch("libB.jad");
    Touch("libB.jar");
    Application.LibletNames = {"libB", "libA"};
    auto [code, err] = Upload();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(out_, "Downloading Jar and Jad file...\n");
    EXPECT_EQ(fake_.calls, (Calls{"init rfc2217://127.0.0.1:4000 115200", "upload app.jad", "upload app.jar",
                                  "upload libB.jad", "upload libB.jar", "upload libA.jad", "upload libA.jar",
                                  "deinit"}));
    EXPECT_EQ(CleanUpCalls(),
              (Calls{"init rfc2217://127.0.0.1:4000 115200", "delete A:\\app.jad", "delete A:\\app.jar",
                     "delete A:\\libB.jad", "delete A:\\libB.jar", "delete A:\\libA.jad", "delete A:\\libA.jar",
                     "deinit"}));
    // What was deleted is forgotten; a second clean-up leaves the module alone.
    EXPECT_EQ(CleanUpCalls(), Calls{});
}

TEST_F(ApplicationUpload, NothingUploadedMeansNothingDeleted) {
    // A -noload session, or one that ended before its upload: file access is not even opened.
    EXPECT_EQ(CleanUpCalls(), Calls{});

    fake_.failInit = true;
    auto [code, err] = Upload();
    EXPECT_EQ(code, 508);
    EXPECT_EQ(err, "\nFlash file initialization failed!\n");
    EXPECT_EQ(CleanUpCalls(), Calls{});
}

TEST_F(ApplicationUpload, MissingLibletEndsWith524AfterTheApplicationWentUp) {
    Touch("mylib.jad");
    Application.LibletNames = {"mylib"};
    auto [code, err] = Upload();
    EXPECT_EQ(code, 524);
    std::string base = folder_.string() + "/mylib";
    EXPECT_EQ(err, "\nLIBlet file \"" + base + ".jad\" or \"" + base +
                       ".jar\" not found on used PC target directory!"
                       "\nPlease check, if the dependency LIBlet entry inside the jad file is correct and if "
                       "LIBlet files are build correctly.\n");
    EXPECT_EQ(UploadedModuleFiles(), (Calls{"A:\\app.jad", "A:\\app.jar"}));
    EXPECT_EQ(CleanUpCalls(), (Calls{"init rfc2217://127.0.0.1:4000 115200", "delete A:\\app.jad",
                                     "delete A:\\app.jar", "deinit"}));
}

TEST_F(ApplicationUpload, BrokenOffUploadIsDeletedTooButLaterFilesAreNot) {
    fake_.failUpload = "app.jar";
    auto [code, err] = Upload();
    EXPECT_EQ(code, 513);
    EXPECT_EQ(err, "\nNot enough memory to upload \"" + Application.JadPath + "\" and \"" + Application.JarPath +
                       "\" into the module!\n");
    EXPECT_EQ(CleanUpCalls(), (Calls{"init rfc2217://127.0.0.1:4000 115200", "delete A:\\app.jad",
                                     "delete A:\\app.jar", "deinit"}));

    ForgetUploadedFiles();
    fake_ = FakeFileOperations();
    fake_.failUpload = "app.jad";
    std::tie(code, err) = Upload();
    EXPECT_EQ(code, 513);
    EXPECT_EQ(UploadedModuleFiles(), Calls{"A:\\app.jad"});
}

TEST_F(ApplicationUpload, FailedLibletUploadEndsWith528) {
    Touch("mylib.jad");
    Touch("mylib.jar");
    Application.LibletNames = {"mylib"};
    fake_.failUpload = "mylib.jar";
    auto [code, err] = Upload();
    EXPECT_EQ(code, 528);
    std::string base = folder_.string() + "/mylib";
    EXPECT_EQ(err, "\nNot enough memory to upload \"" + base + ".jad\" and \"" + base + ".jar\" into the module!\n");
    EXPECT_EQ(UploadedModuleFiles(), (Calls{"A:\\app.jad", "A:\\app.jar", "A:\\mylib.jad", "A:\\mylib.jar"}));
}

TEST_F(ApplicationUpload, MissingJarDeclarationOrFilesStopBeforeTheModuleIsTouched) {
    Application.JarPath = (folder_ / "app.zip").string();
    auto [code, err] = Upload();
    EXPECT_EQ(code, 496);
    EXPECT_EQ(err, "\nJar file declaration is missing in the jad file!\n");

    Application.JarPath = (folder_ / "absent.jar").string();
    std::tie(code, err) = Upload();
    EXPECT_EQ(code, 502);
    EXPECT_EQ(err, "\n\"" + Application.JadPath + "\" or \"" + Application.JarPath +
                       "\" not found on used PC target directory!"
                       "\nPlease check the jad file jar file path inside the jad file.\n");

    // A folder is not a regular file.
    fs::create_directories(folder_ / "dir.jar");
    Application.JarPath = (folder_ / "dir.jar").string();
    std::tie(code, err) = Upload();
    EXPECT_EQ(code, 502);
    EXPECT_TRUE(fake_.calls.empty());
    EXPECT_EQ(CleanUpCalls(), Calls{});
}

TEST(ModuleTargetPath, FileNameAndExtensionOnTheFirstDrive) {
    EXPECT_EQ(ModuleTargetPath("/work/dist/app.jad"), "A:\\app.jad");
    EXPECT_EQ(ModuleTargetPath("/work/dist/archive.tar.jar"), "A:\\archive.tar.jar");
    EXPECT_EQ(ModuleTargetPath(""), "");
}

} // namespace
