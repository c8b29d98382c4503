// The path functions the session uses to climb to the toolkit root and to name files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/path_helpers.h"

namespace fs = std::filesystem;

TEST(FolderOfPath, KeepsTheTrailingSeparatorAndClimbsToTheRoot) {
    EXPECT_EQ(FolderOfPath("/kit/bin/emulator"), "/kit/bin/");
    EXPECT_EQ(FolderOfPath("/kit/bin/"), "/kit/");
    EXPECT_EQ(FolderOfPath("/kit/bin//"), "/kit/");
    EXPECT_EQ(FolderOfPath("/kit"), "/");
    EXPECT_EQ(FolderOfPath("/"), "");
    EXPECT_EQ(FolderOfPath(""), "");
    // Both separators are read as the native one.
    EXPECT_EQ(FolderOfPath("\\kit\\bin\\emulator"), "/kit/bin/");
    EXPECT_EQ(FolderOfPath("/kit\\lib/x.jar"), "/kit/lib/");
    // Dots are resolved the way an absolute path is normalised.
    EXPECT_EQ(FolderOfPath("/kit/bin/../lib/x.jar"), "/kit/lib/");
}

TEST(FolderOfPath, RelativePathsAreResolvedAgainstTheCurrentFolder) {
    const std::string current = fs::current_path().string();
    EXPECT_EQ(FolderOfPath("app.jad"), current + "/");
    EXPECT_EQ(FolderOfPath("./lib"), current + "/");
    EXPECT_EQ(FolderOfPath("dist\\app.jad"), current + "/dist/");
}

TEST(FileNameOfPath, NameAndExtension) {
    EXPECT_EQ(FileNameOfPath("/dist/app.jar"), "app.jar");
    EXPECT_EQ(FileNameOfPath("C:\\dist\\app.jar.bak"), "app.jar.bak");
    EXPECT_EQ(FileNameOfPath("app.jad"), "app.jad");
    EXPECT_EQ(FileNameOfPath("/dist/"), "");
    EXPECT_EQ(FileNameOfPath(""), "");
}

TEST(PathKinds, RegularFilesAndFolders) {
    const fs::path folder = fs::temp_directory_path() / "modlink-path-kinds";
    fs::remove_all(folder);
    fs::create_directories(folder / "sub");
    std::ofstream(folder / "file.txt") << "x";
    fs::create_symlink(folder / "file.txt", folder / "link");
    fs::create_symlink(folder / "missing", folder / "dangling");
    EXPECT_TRUE(IsRegularFile((folder / "file.txt").string()));
    EXPECT_TRUE(IsRegularFile((folder / "link").string()));
    EXPECT_FALSE(IsRegularFile((folder / "sub").string()));
    EXPECT_FALSE(IsRegularFile((folder / "dangling").string()));
    EXPECT_FALSE(IsRegularFile(""));
    EXPECT_TRUE(IsFolder((folder / "sub").string()));
    EXPECT_FALSE(IsFolder((folder / "file.txt").string()));
    fs::remove_all(folder);
}
