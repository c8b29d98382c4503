#pragma once
// The link holder: the process that dials a dial-up entry and holds its link until it is asked
// to hang up or the link drops (the program modlink-linkd runs it). Keeping the link in a process
// of its own lets it outlive the session that dialled it, as a system dial-up connection does.
//
// Dialling sends "ATD" and the phone number and waits for CONNECT (with or without a rate after
// it). Then either the open data connection is the link (type "direct", a module that offers it
// such as the simulator) or pppd runs PPP on the port (type "ppp", a real module).
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "debuglink/link_state.h"
#include "platform/clock.h"

// The modem port as the link holder uses it.
class DialPort {
public:
    virtual ~DialPort() = default;
    virtual bool Write(const std::string& bytes) = 0;
    // Waits up to timeoutMs for bytes: the count read, 0 when none came, -1 when the port failed
    // or the peer closed it.
    virtual long Read(char* buffer, std::size_t size, int timeoutMs) = 0;
    virtual bool SetDtr(bool on) = 0;
};

// What a modem's answer to ATD says so far.
struct DialAnswer {
    enum Kind { Pending, Connected, Failed } kind = Pending;
    int error = 0; // RAS error number when Failed
};

// Classifies the text received since ATD was sent: CONNECT (optionally followed by a rate) in a
// line of its own connects; NO CARRIER, BUSY, NO DIALTONE, NO ANSWER, ERROR and +CME ERROR fail.
DialAnswer ClassifyDialAnswer(const std::string& received);

struct LinkHolderOptions {
    std::string entryName;
    std::string portName;
    std::string phoneNumber;
    int speed = 0;
    std::string linkType = "ppp";
    std::string pppdProgram = "pppd";
    std::vector<std::string> pppOptions;
    std::string statePath;
    int dialTimeoutMs = 60000;
};

// The pppd command line for a connected port: the device, the speed, "nodetach" (so the holder
// sees pppd end when the link drops) and the entry's own pppd options.
std::vector<std::string> PppdArguments(const LinkHolderOptions& options);

// Dials on an open port and holds the link until an end request (platform::EndRequested) or the
// drop of the link, then hangs up by dropping DTR. The state record is kept at options.statePath
// while the link is up and removed at the end; a failed dial leaves it with state "failed" for
// the dialling session to read. Returns the exit status of the holder: 0 after a link, 1 after a
// failed dial.
int RunLinkHolder(const LinkHolderOptions& options, DialPort& port, platform::Clock& clock,
                  int holderId);
