#include "debuglink/link_holder.h"

#include <filesystem>

#include "debuglink/ras_errors.h"
#include "platform/process.h"
#include "platform/process_control.h"

namespace {

constexpr int PollMs = 100;
constexpr int PppdEndTimeoutMs = 3000;

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Lines of the answer: text between line ends, without blanks at the ends.
std::vector<std::string> AnswerLines(const std::string& received) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : received) {
        if (c == '\r' || c == '\n') {
            if (!line.empty()) {
                lines.push_back(line);
            }
            line.clear();
        } else {
            line += c;
        }
    }
    // The last line counts only once its line end arrived: "CONNECT" may still grow a rate.
    return lines;
}

void Hangup(DialPort& port, platform::Clock& clock) {
    port.SetDtr(false);
    clock.Sleep(200);
}

// Holds a direct link: the open data connection is the link until the module reports that
// the carrier is gone, or the connection closes.
int HoldDirectLink(DialPort& port, platform::Clock& clock) {
    std::string tail;
    char buffer[512];
    while (!platform::EndRequested()) {
        long count = port.Read(buffer, sizeof(buffer), PollMs);
        if (count < 0) {
            return 0; // the peer closed the connection: the link is gone
        }
        tail.append(buffer, static_cast<std::size_t>(count));
        if (tail.find("NO CARRIER") != std::string::npos) {
            return 0;
        }
        if (tail.size() > 64) {
            tail.erase(0, tail.size() - 64);
        }
    }
    Hangup(port, clock);
    return 0;
}

// Holds a PPP link: pppd runs on the port until it ends (the link dropped) or we are asked to
// hang up, which ends pppd first.
int HoldPppLink(DialPort& port, platform::Clock& clock, std::unique_ptr<platform::Process> pppd) {
    int exitCode = 0;
    while (!platform::EndRequested()) {
        if (pppd->Wait(PollMs, &exitCode)) {
            Hangup(port, clock);
            return 0;
        }
    }
    platform::AskProcessToEnd(pppd->Id());
    if (!pppd->Wait(PppdEndTimeoutMs, &exitCode)) {
        pppd->Terminate(1);
    }
    Hangup(port, clock);
    return 0;
}

} // namespace

DialAnswer ClassifyDialAnswer(const std::string& received) {
    for (const std::string& line : AnswerLines(received)) {
        if (line == "CONNECT" || StartsWith(line, "CONNECT ")) {
            return {DialAnswer::Connected, 0};
        }
        if (line == "NO CARRIER") {
            return {DialAnswer::Failed, RasError::NoCarrier};
        }
        if (line == "BUSY") {
            return {DialAnswer::Failed, RasError::LineBusy};
        }
        if (line == "NO DIALTONE" || line == "NO DIAL TONE") {
            return {DialAnswer::Failed, RasError::NoDialtone};
        }
        if (line == "NO ANSWER") {
            return {DialAnswer::Failed, RasError::NoAnswer};
        }
        if (line == "ERROR" || StartsWith(line, "+CME ERROR")) {
            return {DialAnswer::Failed, RasError::FromDevice};
        }
    }
    return {};
}

std::vector<std::string> PppdArguments(const LinkHolderOptions& options) {
    std::vector<std::string> arguments = {options.pppdProgram, options.portName};
    if (options.speed > 0) {
        arguments.push_back(std::to_string(options.speed));
    }
    arguments.push_back("nodetach");
    arguments.insert(arguments.end(), options.pppOptions.begin(), options.pppOptions.end());
    return arguments;
}

int RunLinkHolder(const LinkHolderOptions& options, DialPort& port, platform::Clock& clock,
                  int holderId) {
    LinkState state;
    state.entryName = options.entryName;
    state.holderId = holderId;
    state.state = "dialling";
    state.portName = options.portName;
    state.linkType = options.linkType;
    WriteLinkState(options.statePath, state);

    auto fail = [&](int error) {
        Hangup(port, clock);
        state.state = "failed";
        state.error = error;
        WriteLinkState(options.statePath, state);
        return 1;
    };

    // pppd needs a device of this machine; a network port can only carry a direct link.
    if (options.linkType == "ppp" && options.portName.find("://") != std::string::npos) {
        return fail(RasError::PortNotAvailable);
    }
    port.SetDtr(true);
    if (!port.Write("ATD" + options.phoneNumber + "\r")) {
        return fail(RasError::PortNotAvailable);
    }
    std::string received;
    const uint32_t start = clock.TickCount();
    DialAnswer answer;
    while (answer.kind == DialAnswer::Pending) {
        if (platform::EndRequested()) {
            return fail(RasError::PortDisconnected);
        }
        if (clock.TickCount() - start >= static_cast<uint32_t>(options.dialTimeoutMs)) {
            return fail(RasError::NoAnswer);
        }
        char buffer[256];
        long count = port.Read(buffer, sizeof(buffer), PollMs);
        if (count < 0) {
            return fail(RasError::PortDisconnected);
        }
        received.append(buffer, static_cast<std::size_t>(count));
        answer = ClassifyDialAnswer(received);
    }
    if (answer.kind == DialAnswer::Failed) {
        return fail(answer.error);
    }

    std::unique_ptr<platform::Process> pppd;
    if (options.linkType == "ppp") {
        platform::ProcessOptions pppdOptions;
        pppdOptions.arguments = PppdArguments(options);
        pppdOptions.inheritInput = false;
        pppdOptions.output = platform::ChildOutput::Discard;
        int error = 0;
        pppd = platform::Process::Start(pppdOptions, &error);
        if (!pppd) {
            return fail(RasError::LinkProgramMissing);
        }
    }
    state.state = "connected";
    WriteLinkState(options.statePath, state);
    int status = pppd ? HoldPppLink(port, clock, std::move(pppd))
                      : HoldDirectLink(port, clock);
    std::error_code ec;
    std::filesystem::remove(options.statePath, ec);
    return status;
}
