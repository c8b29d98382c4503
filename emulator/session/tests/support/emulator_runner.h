#pragma once
// Running the built emulator from a toolkit tree of a test's own, with its own configuration
// folder and temporary folder, and collecting what it printed.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace sessiontest {

struct RunResult {
    std::string out;
    std::string err;
    int status = -1; // the 8-bit exit status
};

// The 8-bit status the system reports for a session code.
int StatusOf(int code);

std::string ReadFileText(const std::filesystem::path& path);
void WriteFileText(const std::filesystem::path& path, const std::string& text);

// A fresh folder below the system's temporary folder, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A toolkit tree: root/bin/emulator (a link to the built program), root/bin/WM_Debug_config.ini
// (unless told otherwise), root/lib, plus cfg/ (MODLINK_CONFIG_DIR) and tmp/ (TMPDIR) beside it.
class TestToolkit {
public:
    explicit TestToolkit(bool withIni = true);

    std::filesystem::path Root() const { return scratch_.Path() / "kit"; }
    std::filesystem::path Bin() const { return Root() / "bin"; }
    std::filesystem::path Lib() const { return Root() / "lib"; }
    std::filesystem::path Ini() const { return Bin() / "WM_Debug_config.ini"; }
    std::filesystem::path Config() const { return scratch_.Path() / "cfg"; }
    std::filesystem::path Temp() const { return scratch_.Path() / "tmp"; }
    std::filesystem::path Scratch() const { return scratch_.Path(); }
    std::filesystem::path Program() const { return Bin() / "emulator"; }
    std::filesystem::path LogFile() const { return Temp() / "PVXLogfile.log"; }

    // Copies the sample toolkit's API libraries into lib.
    void CopySampleLibraries();
    // Writes a phone book with one entry and a modem for it in the configuration folder.
    void AddDialUpEntry(const std::string& entryName, const std::string& extraEntryKeys,
                        const std::string& modemKeys);
    // Copies a sample application folder (hello, calc) below the scratch folder; returns it.
    std::filesystem::path CopySampleApp(const std::string& name);

    // Runs the program with the arguments; env entries are added to (or, when empty, removed
    // from) the environment. MIDP_HOME is removed unless given.
    RunResult Run(const std::vector<std::string>& arguments,
                  const std::map<std::string, std::string>& env = {},
                  const std::filesystem::path& program = {},
                  const std::filesystem::path& workingFolder = {}) const;

private:
    ScratchFolder scratch_;
};

// Where the sample toolkit and the hand-over fakes were built.
std::filesystem::path SampleToolkit();
std::filesystem::path HandoverFakes();
std::filesystem::path BuiltEmulator();

} // namespace sessiontest
