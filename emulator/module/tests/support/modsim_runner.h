#pragma once
// Runs the built module simulator and emulator sessions against it, for the module tests that
// need real processes. Only 127.0.0.1 is used.
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"

namespace modsimtest {

class ModsimRunner {
public:
    ModsimRunner() = default;
    ~ModsimRunner();
    ModsimRunner(const ModsimRunner&) = delete;
    ModsimRunner& operator=(const ModsimRunner&) = delete;

    // Starts build/bin/modsim --listen 127.0.0.1:0 with a transcript and the given options, and
    // waits for its ready line. False (with the output in Output()) when it did not get ready.
    bool Start(const std::vector<std::string>& options);
    // The same with --pty instead of --listen: Url() is then the pty's device path.
    bool StartPty(const std::vector<std::string>& options);
    // Ends the simulator with SIGTERM and waits for it; true when it ended by itself with status 0.
    bool Stop();

    const std::string& Url() const { return url_; }
    const std::filesystem::path& Folder() const { return folder_; }
    std::vector<std::string> Transcript() const;
    std::vector<std::string> Output() const;
    // Waits until the simulator has seen as many closes as opens (up to 3 s); false if not.
    bool AllConnectionsClosed() const;
    int Connections() const;

private:
    bool Launch(const std::vector<std::string>& portArguments, const std::vector<std::string>& options);

    std::unique_ptr<platform::Process> process_;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::string output_;
    std::string url_;
    std::filesystem::path folder_;
    bool stopped_ = false;
};

struct SessionResult {
    int status = -1; // the process's exit status (8 bits on Linux)
    std::string out;
    std::string err;
    std::string log; // PVXLogfile.log when the session ran with -emulog
};

// The exit status of a session that ended with a code (exit(-code) keeps 8 bits).
int StatusOf(int code);

struct SessionConfig {
    std::string family = "QRE"; // which dial-up entry the phone book holds
    int speed = 115200;         // ConnectBPS and MaximumPortSpeed
    std::string port;           // AttachedTo; the simulator's URL when empty
    std::string portType;       // the modem's PortType; none written when empty
};

// Writes a config folder for the port and runs the sample toolkit's emulator with arguments.
SessionResult RunSession(const ModsimRunner& modsim, const SessionConfig& config, const std::vector<std::string>& arguments);

// The sample toolkit's hello MIDlet.
std::string HelloJad();

} // namespace modsimtest
