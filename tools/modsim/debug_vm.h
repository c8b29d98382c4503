#pragma once
// The module's Java VM in a debug session: a JVM of this machine runs the program from the flash
// under the IMP-NG stand-in runtime, with JDWP on a private loopback port. A relay (the toolkit's
// zdp.jar) serves that port on the module's address and debug port, so the VM ends when the
// debugger detaches, as the module's VM does. The program's output is sent as UDP datagrams to
// the PC.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "platform/udp_socket.h"

namespace modsim {

struct DebugVmConfig {
    std::string java;          // the java program
    std::string runtimeJar;    // impng.jar
    std::string relayJar;      // zdp.jar
    std::vector<std::string> classPath; // the program's JAR first, then its LIBlets
    std::string program;       // the JAD or JAR the runner starts
    std::string listenAddress; // the module's address: where the debugger's side connects
    uint16_t debugPort = 0;
    std::string stdoutAddress; // where System.out datagrams go ("" or port 0: nowhere)
    uint16_t stdoutPort = 0;
};

// The JVM's arguments (without the java program): JDWP on loopback port 0, suspended until a
// debugger attaches.
std::vector<std::string> DebugVmArguments(const DebugVmConfig& config, char listSeparator);

class DebugVm {
public:
    DebugVm() = default;
    ~DebugVm() { Stop(); }
    DebugVm(const DebugVm&) = delete;
    DebugVm& operator=(const DebugVm&) = delete;

    // Starts the VM and its debug relay. False with *error set when either could not start.
    bool Start(const DebugVmConfig& config, std::string* error);

    // True while the VM runs. When the relay ended (the debugger detached) the VM is ended here.
    bool Running();

    // Ends the relay and the VM and waits for the output pump.
    void Stop();

private:
    void PumpOutput();

    DebugVmConfig config_;
    std::unique_ptr<platform::Process> vm_;
    std::unique_ptr<platform::Process> relay_;
    std::unique_ptr<platform::UdpSocket> socket_;
    std::thread pump_;
    std::string firstOutput_;
};

} // namespace modsim
