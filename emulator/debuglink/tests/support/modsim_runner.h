#pragma once
// Test helpers for the debug link against the real programs: a running modsim, a configuration
// folder with a phone book and a modem list, and a private link folder.
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"

namespace testsupport {

extern const std::string BinaryFolder; // build/bin
extern const std::string TestkitFolder; // build/testkit

// A modsim program serving one port; ended by the destructor.
class Modsim {
public:
    // Starts modsim with its flash in flashFolder and the extra options; the port name is known
    // once the program is ready. Empty PortName() when it did not start.
    Modsim(const std::string& flashFolder, const std::vector<std::string>& options, bool pty = false);
    ~Modsim();
    const std::string& PortName() const { return portName_; }
    const std::string& Transcript() const { return transcriptPath_; }

private:
    std::unique_ptr<platform::Process> process_;
    std::string portName_;
    std::string transcriptPath_;
};

// A scratch folder below the temp folder, removed by the destructor.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& purpose);
    ~ScratchFolder();
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    operator std::string() const { return path_; }

private:
    std::string path_;
};

void WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);

// Writes rasphone.pbk and modems.ini for one entry whose modem is attached to portName, with the
// extra phone book lines (LinkType=..., PppOptions=...).
void WriteLinkConfig(const std::string& configFolder, const std::string& entryName,
                     const std::string& portName, const std::string& extraEntryLines);

} // namespace testsupport
