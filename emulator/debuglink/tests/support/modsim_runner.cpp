#include "modsim_runner.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/env.h"
#include "platform/files.h"

namespace testsupport {

namespace fs = std::filesystem;

const std::string BinaryFolder = MODLINK_BINARY_DIR "/bin";
const std::string TestkitFolder = MODLINK_BINARY_DIR "/testkit";

Modsim::Modsim(const std::string& flashFolder, const std::vector<std::string>& options, bool pty) {
    transcriptPath_ = flashFolder + "/transcript.txt";
    platform::ProcessOptions start;
    start.arguments = {BinaryFolder + "/modsim", "--flash", flashFolder, "--transcript", transcriptPath_};
    if (pty) {
        start.arguments.push_back("--pty");
    } else {
        start.arguments.insert(start.arguments.end(), {"--listen", "127.0.0.1:0"});
    }
    start.arguments.insert(start.arguments.end(), options.begin(), options.end());
    start.output = platform::ChildOutput::Pipe;
    start.inheritInput = false;
    int error = 0;
    process_ = platform::Process::Start(start, &error);
    if (!process_) {
        return;
    }
    std::string line;
    char c;
    while (process_->ReadOutput(&c, 1) == 1 && c != '\n') {
        line += c;
    }
    const std::string ready = "modsim: ready ";
    if (line.rfind(ready, 0) == 0) {
        portName_ = line.substr(ready.size());
    }
}

Modsim::~Modsim() {
    if (process_) {
        process_->Terminate(0);
    }
}

ScratchFolder::ScratchFolder(const std::string& purpose) {
    static int counter = 0;
    path_ = platform::TempFolder() + "modlink-" + purpose + "-" +
            std::to_string(platform::CurrentProcessId()) + "-" + std::to_string(++counter);
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void WriteTextFile(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteLinkConfig(const std::string& configFolder, const std::string& entryName,
                     const std::string& portName, const std::string& extraEntryLines) {
    WriteTextFile(configFolder + "/rasphone.pbk",
                  "[" + entryName + "]\nDevice=Simulated Module Modem\nPhoneNumber=*99***1#\n"
                  "ConnectBPS=115200\n" + extraEntryLines);
    WriteTextFile(configFolder + "/modems.ini",
                  "[Simulated Module Modem]\nAttachedTo=" + portName + "\nMaximumPortSpeed=115200\n");
}

} // namespace testsupport
