#pragma once
// The module's OBEX file-system server, written from the protocol's own rules and sharing no
// code with the emulator's client. It serves one OBEX mode period: from the OK of "AT^KQWE=3"
// until the "+++" escape (or a dropped link).
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "obex_fault.h"
#include "simulator.h"

namespace modsim {

// Faults and limits, read from the command line once and shared by every OBEX period.
struct ObexServerConfig {
    std::size_t maxPacket = 0x4000;  // --obex-packet N: the server's own maximum packet length
    uint64_t flashLimit = 0;         // --flash-limit BYTES: all drives together (0 = no limit)
    long dropAfter = 0;              // --obex-drop-after N: the N-th request drops the OBEX link
    long silentAfter = 0;            // --obex-silent-after N: no answers from the N-th request on
    long badLengthAt = 0;            // --obex-bad-length N: the N-th answer has a wrong length field
    long respondAt = 0;              // --obex-respond N=CODE: the N-th request is answered with CODE
    uint8_t respondCode = 0;
    ObexFaultKind fault = ObexFaultKind::None; // --fault drop|silent|badlength
    long faultAt = 0;                          // --fault-at N
};

// Counts requests over the simulator's whole life so a fault fires exactly once.
struct ObexFaultState {
    std::mutex mutex;
    long requests = 0;
    long answers = 0;
    std::map<std::string, std::string> permissions; // module path (lower case) -> permission text
};

// What a packet handler decided.
struct ObexReply {
    std::string bytes;   // the whole response packet; empty = no answer
    bool leave = false;  // the OBEX period ends (link dropped)
};

class ObexSession {
public:
    ObexSession(Simulator& simulator, const ObexServerConfig& config, ObexFaultState& faults);
    // Serves packets until "+++", a dropped link or the PC closing the port.
    void Serve(ByteChannel& channel);
    // Handles one complete request packet (exposed for tests).
    ObexReply Handle(const std::string& packet);

private:
    struct Header {
        uint8_t id;
        std::string data; // raw bytes (16-bit values unswapped, 1- and 4-byte values as bytes)
    };
    static std::vector<Header> ParseHeaders(const std::string& packet, std::size_t from, bool* ok);
    std::string Respond(uint8_t code, const std::string& fields, const std::string& headers);
    ObexReply Connect(const std::string& packet);
    ObexReply SetPath(const std::string& packet);
    ObexReply Put(bool final, const std::vector<Header>& headers);
    ObexReply Get(bool final, const std::vector<Header>& headers);
    ObexReply NextGetChunk();
    std::string Describe(uint8_t opcode, const std::string& packet);

    // Flash helpers (obex_flash.cpp).
    std::string CurrentDir() const;
    std::string ModulePath(const std::string& name) const;
    bool AtTelecom() const;
    bool AtDriveRoot() const { return folder_.empty(); }
    std::string ListingXml();
    uint64_t FlashUsage() const;
    uint8_t DeleteEntry(const std::string& name);
    uint8_t WriteFile(const std::string& name, const std::string& content);

    Simulator& simulator_;
    const ObexServerConfig& config_;
    ObexFaultState& faults_;
    bool connected_ = false;
    bool silenced_ = false; // a silent fault fired in this OBEX period
    std::size_t peerMax_ = 255;
    int drive_ = 0;
    std::vector<std::string> folder_; // components below the drive root
    // A PUT in progress.
    bool putActive_ = false;
    std::string putName_;
    std::string putBody_;
    bool putHasBody_ = false;
    std::string putPermissions_;
    bool putHasParameters_ = false;
    // A GET in progress.
    bool getActive_ = false;
    std::string getName_;
    std::string getType_;
    std::string getData_;
    std::size_t getOffset_ = 0;
    bool getLengthSent_ = false;
};

// Reads the server's options from the simulator's extension values.
ObexServerConfig ReadObexServerConfig(const Options& options);

// UTF-16BE bytes (an OBEX Name) to UTF-8, without a terminating NUL.
std::string NameToUtf8(const std::string& utf16be);
std::string Utf8ToName(const std::string& utf8);

} // namespace modsim
