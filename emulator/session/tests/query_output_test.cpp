// The API lists and the boot class path of the query answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/env.h"
#include "session/query_output.h"
#include "core/records.h"

namespace fs = std::filesystem;

TEST(LibraryApis, ManifestsFillTheirLists) {
    LibraryApis apis;
    AddManifestApi("Manifest-Version: 1.0\r\nAPI-Type: Profile\r\nAPI: IMP-NG\r\n"
                   "API-Specification-Version: 1.0\r\n",
                   apis);
    AddManifestApi("API-Type: Configuration\nAPI: CLDC\nAPI-Specification-Version: 1.1\n", apis);
    AddManifestApi("API-Type: Configuration\nAPI: CLDC\n", apis);
    AddManifestApi("API-Type:Optional\nAPI:IO\nAPI-Specification-Version: 2\n", apis);
    // Unknown or missing types, a type in other letter case, and an empty manifest add nothing.
    AddManifestApi("API-Type: Library\nAPI: X\n", apis);
    AddManifestApi("api-type: Profile\nAPI: Y\n", apis);
    AddManifestApi("API-Type: profile\nAPI: Z\n", apis);
    AddManifestApi("", apis);
    EXPECT_EQ(apis.profiles, "IMP-NG-1.0");
    EXPECT_EQ(apis.configurations, "CLDC-1.1,CLDC");
    EXPECT_EQ(apis.optionals, "IO-2");
}

TEST(LibraryApis, TypeWithoutNameStillAddsAnEntry) {
    LibraryApis apis;
    AddManifestApi("API-Type: Profile\nAPI-Specification-Version: 3\n", apis);
    AddManifestApi("API-Type: Profile\n", apis);
    EXPECT_EQ(apis.profiles, "-3,");
}

TEST(BootClassPath, FilesOfTheLibFolderInOrder) {
    const fs::path root = fs::temp_directory_path() /
                          ("modlink-boot-" + std::to_string(platform::CurrentProcessId()));
    fs::remove_all(root);
    Application.ToolkitRoot = root.string();
    EXPECT_EQ(BootClassPath(), "");
    fs::create_directories(root / "lib" / "folder.jar");
    EXPECT_EQ(BootClassPath(), "");
    std::ofstream(root / "lib" / "b.jar") << "x";
    std::ofstream(root / "lib" / "a.txt") << "x";
    EXPECT_EQ(BootClassPath(), root.string() + "/lib/a.txt," + root.string() + "/lib/b.jar");
    // No JAR among them: the lists stay empty.
    const LibraryApis apis = ScanLibraryApis();
    EXPECT_EQ(apis.profiles + apis.configurations + apis.optionals, "");
    fs::remove_all(root);
    Application.ToolkitRoot.clear();
}
