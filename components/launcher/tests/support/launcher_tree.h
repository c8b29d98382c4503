#pragma once
// A throw-away SDK tree around a copy of the built launcher, for tests that run the program:
//   <root>/ide/etc/ridgeline.conf            the IDE configuration
//   <root>/ide/x/sdk home/                   the SDK home (baseDir; the blank is deliberate)
//   <root>/ide/x/sdk home/bin/trayhost       the launcher (a copy: its own path decides)
//   <root>/runtime/                          XDG_RUNTIME_DIR, where the marker goes
// The launcher finds its folders from /proc/self/exe, which names the target of a symbolic
// link, so the tree holds a real copy.
#include <map>
#include <string>
#include <vector>

namespace launcher_test {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class LauncherTree {
public:
    LauncherTree();
    ~LauncherTree();
    LauncherTree(const LauncherTree&) = delete;
    LauncherTree& operator=(const LauncherTree&) = delete;

    const std::string& Root() const { return root_; }
    const std::string& BaseDir() const { return baseDir_; }
    std::string Bin() const { return baseDir_ + "/bin"; }
    std::string Executable() const { return Bin() + "/trayhost"; }
    std::string RuntimeFolder() const { return root_ + "/runtime"; }
    std::string UpdateList() const { return baseDir_ + "/.org.ferncliff,pkg/nextInstall"; }
    std::string PackageLog() const { return root_ + "/pkg-commands.log"; }

    // Writes a file, creating its folders.
    static void WriteFile(const std::string& path, const std::string& content);
    static std::string ReadFile(const std::string& path);

    void WriteVmFile(const std::string& content) const { WriteFile(Bin() + "/trayhost.vm", content); }
    void WriteJavaFolderFile(const std::string& content) const { WriteFile(Bin() + "/java", content); }
    void WriteIdeConfiguration(const std::string& content) const {
        WriteFile(root_ + "/ide/etc/ridgeline.conf", content);
    }

    // Puts the Java container stand-in where the built-in template's class path looks.
    void InstallContainer() const;
    // A fake JDK under <root>/<name> whose bin/java prints "<tag> ARG <n> <text>" per argument and
    // "<tag> PATH=<PATH>", then exits with 3. Returns the JDK folder.
    std::string InstallFakeJdk(const std::string& name, const std::string& tag) const;
    // A fake program at path that behaves like the fake JDK's java.
    static void WriteFakeJava(const std::string& path, const std::string& tag);
    // The package tool stand-in as <baseDir>/pkg-toolkit/bin/pkg, logging to PackageLog().
    void InstallFakePackageTool() const;

    // Runs the launcher with arguments and standard input; environment entries in
    // `environment` replace or add to the test's own.
    RunResult Run(const std::vector<std::string>& arguments, const std::string& input = "",
                  const std::map<std::string, std::string>& environment = {}) const;

    // Like Run, but the launcher's standard output is a pipe nobody reads for the first second,
    // so the launcher is held up writing while Java goes on and ends.
    RunResult RunWithLateReader(const std::vector<std::string>& arguments) const;

    // Runs a /bin/sh script with $0 the launcher and $@ the arguments; $IN, $OUT, $ERR and $RC
    // name files in the tree. RunResult.out and .err are read from $OUT and $ERR.
    RunResult RunShell(const std::string& script, const std::vector<std::string>& arguments,
                       const std::string& input, const std::map<std::string, std::string>& environment) const;

private:

    std::string root_;
    std::string baseDir_;
};

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

} // namespace launcher_test
