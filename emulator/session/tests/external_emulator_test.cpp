// The external emulator is any other executable *emulator* file in the toolkit's bin folder;
// this program itself, under its POSIX or its Windows file name, never is.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "session/toolkit.h"

namespace fs = std::filesystem;

namespace {

void Program(const fs::path& path) {
    std::ofstream(path) << "#!/bin/sh\n";
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
}

TEST(ExternalEmulator, TheProgramItselfIsNeverTheExternalOne) {
    fs::path root = fs::temp_directory_path() / "external_emulator_test";
    fs::remove_all(root);
    fs::create_directories(root / "bin");
    Program(root / "bin" / "emulator");
    Program(root / "bin" / "Emulator.EXE");
    EXPECT_EQ(FindExternalEmulator(root.string()), "");
    Program(root / "bin" / "sdk_emulator");
    EXPECT_EQ(fs::path(FindExternalEmulator(root.string())).filename(), "sdk_emulator");
    fs::remove_all(root);
}

} // namespace
