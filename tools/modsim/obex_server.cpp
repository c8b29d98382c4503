// The OBEX packet loop of the simulated module: framing, CONNECT, SETPATH, PUT, GET, ABORT and
// DISCONNECT, the fault options, and a transcript line for every request.
#include "obex_server.h"

#include <cctype>
#include <cstdio>

#include "text_util.h"

namespace modsim {
namespace {

const std::string kFileSystemUuid("\x6B\x01\xCB\x31\x41\x06\x11\xD4\x9A\x77\x00\x50\xDA\x3F\x47\x1F", 16);
const std::string kFolderBrowsingUuid("\xF9\xEC\x7B\xC4\x95\x3C\x11\xD2\x98\x4E\x52\x54\x00\xDC\x9E\x09", 16);
const std::string kIrmc("IRMC-SYNC");

std::string U16(std::size_t v) {
    return std::string{static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}

std::string U32(uint32_t v) { return U16(v >> 16) + U16(v & 0xFFFF); }

std::string BytesHeader(uint8_t id, const std::string& data) {
    return std::string(1, static_cast<char>(id)) + U16(data.size() + 3) + data;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char two[4];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof(two), "%02X", c);
        out += two;
    }
    return out;
}

// Reads exactly size bytes unless the PC closes the port (-1) or nothing comes for timeoutMs (0).
long ReadExactly(ByteChannel& channel, char* buffer, std::size_t size, uint32_t timeoutMs) {
    std::size_t got = 0;
    while (got < size) {
        long n = channel.Read(buffer + got, size - got, timeoutMs);
        if (n < 0) return -1;
        if (n == 0) return 0;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<long>(got);
}

} // namespace

std::string NameToUtf8(const std::string& b) {
    std::string out;
    for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
        unsigned c = (static_cast<unsigned char>(b[i]) << 8) | static_cast<unsigned char>(b[i + 1]);
        if (c == 0) break;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::string Utf8ToName(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        unsigned v = c;
        std::size_t n = 1;
        if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
            v = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
            n = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < s.size()) {
            v = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
            n = 3;
        }
        out += U16(v);
        i += n;
    }
    return out + U16(0);
}

ObexSession::ObexSession(Simulator& simulator, const ObexServerConfig& config, ObexFaultState& faults)
    : simulator_(simulator), config_(config), faults_(faults) {}

std::vector<ObexSession::Header> ObexSession::ParseHeaders(const std::string& p, std::size_t from, bool* ok) {
    std::vector<Header> headers;
    *ok = true;
    std::size_t i = from;
    while (i < p.size()) {
        uint8_t id = static_cast<uint8_t>(p[i]);
        std::size_t size;
        switch (id >> 6) {
        case 0:
        case 1:
            if (i + 3 > p.size()) { *ok = false; return headers; }
            size = (static_cast<unsigned char>(p[i + 1]) << 8) | static_cast<unsigned char>(p[i + 2]);
            if (size < 3 || i + size > p.size()) { *ok = false; return headers; }
            headers.push_back({id, p.substr(i + 3, size - 3)});
            break;
        case 2:
            size = 2;
            if (i + 2 > p.size()) { *ok = false; return headers; }
            headers.push_back({id, p.substr(i + 1, 1)});
            break;
        default:
            size = 5;
            if (i + 5 > p.size()) { *ok = false; return headers; }
            headers.push_back({id, p.substr(i + 1, 4)});
            break;
        }
        i += size;
    }
    return headers;
}

std::string ObexSession::Respond(uint8_t code, const std::string& fields, const std::string& headers) {
    return std::string(1, static_cast<char>(code)) + U16(3 + fields.size() + headers.size()) + fields + headers;
}

std::string ObexSession::Describe(uint8_t opcode, const std::string& packet) {
    std::string text = "OBEX ";
    std::size_t from = 3;
    switch (opcode & 0x7F) {
    case 0x00: text += "CONNECT"; from = 7; break;
    case 0x01: text += "DISCONNECT"; break;
    case 0x02: text += "PUT"; break;
    case 0x03: text += "GET"; break;
    case 0x05: text += "SETPATH"; from = 5; break;
    case 0x7F: text += "ABORT"; break;
    default: text += "OPCODE " + Hex(std::string(1, static_cast<char>(opcode))); break;
    }
    if (opcode & 0x80 && (opcode & 0x7F) != 0x7F && (opcode & 0x7F) > 0x01) text += " final";
    if ((opcode & 0x7F) == 0x05 && packet.size() >= 5) text += " flags=" + Hex(packet.substr(3, 1));
    bool ok = true;
    for (const Header& h : ParseHeaders(packet, from, &ok)) {
        switch (h.id) {
        case 0x01: text += " name=\"" + NameToUtf8(h.data) + "\""; break;
        case 0x42: text += " type=" + std::string(h.data.c_str()); break;
        case 0xC3: text += " length=" + std::to_string((static_cast<unsigned char>(h.data[0]) << 24) |
                                                       (static_cast<unsigned char>(h.data[1]) << 16) |
                                                       (static_cast<unsigned char>(h.data[2]) << 8) |
                                                       static_cast<unsigned char>(h.data[3])); break;
        case 0x44: text += " time=" + h.data; break;
        case 0x46: text += " target=" + Hex(h.data); break;
        case 0x48: text += " body=" + std::to_string(h.data.size()); break;
        case 0x49: text += " end-of-body=" + std::to_string(h.data.size()); break;
        case 0x4C: text += " parameters=" + Hex(h.data); break;
        case 0xCB: text += " connection-id"; break;
        default: text += " header=" + Hex(std::string(1, static_cast<char>(h.id))); break;
        }
    }
    if (!ok) text += " malformed";
    return text;
}

void ObexSession::Serve(ByteChannel& channel) {
    for (;;) {
        char head[3];
        long n = channel.Read(head, 1, 500);
        if (n < 0) return;
        if (n == 0) continue;
        if (head[0] == '+') {
            // The escape: "+++" between guard times ends the OBEX period.
            char more[2];
            if (ReadExactly(channel, more, 2, 1500) == 2 && more[0] == '+' && more[1] == '+') {
                simulator_.transcript().Record("OBEX +++");
                channel.Write(OkAnswer());
                return;
            }
            continue;
        }
        if (ReadExactly(channel, head + 1, 2, 5000) != 2) continue;
        std::size_t length = (static_cast<unsigned char>(head[1]) << 8) | static_cast<unsigned char>(head[2]);
        if (length < 3) continue;
        std::string packet(head, 3);
        packet.resize(length);
        if (length > 3 && ReadExactly(channel, &packet[3], length - 3, 5000) != static_cast<long>(length - 3)) {
            simulator_.transcript().Record("OBEX incomplete packet");
            continue;
        }
        long number;
        {
            std::lock_guard<std::mutex> lock(faults_.mutex);
            number = ++faults_.requests;
        }
        std::string line = Describe(static_cast<uint8_t>(packet[0]), packet);
        RequestFate fate = FateOf(config_.fault, config_.faultAt, number, silenced_);
        if (fate == RequestFate::Unanswered) {
            silenced_ = true;
            simulator_.transcript().Record(line + " (not answered)");
            continue;
        }
        if (fate == RequestFate::LinkDropped) {
            simulator_.transcript().Record(line + " (link dropped)");
            simulator_.HangUp(); // the port connection ends with the link
            return;
        }
        if (fate == RequestFate::WrongLength) {
            line += " (answered with a wrong length)";
        }
        if (config_.silentAfter > 0 && number >= config_.silentAfter) {
            simulator_.transcript().Record(line + " (not answered)");
            continue;
        }
        if (config_.dropAfter > 0 && number == config_.dropAfter) {
            simulator_.transcript().Record(line + " (link dropped)");
            return; // what was received of an upload is gone with the link
        }
        simulator_.transcript().Record(line);
        ObexReply reply;
        if (config_.respondAt > 0 && number == config_.respondAt) {
            reply.bytes = Respond(config_.respondCode, "", "");
            putActive_ = getActive_ = false;
        } else {
            reply = Handle(packet);
        }
        if (!reply.bytes.empty()) {
            long answer;
            {
                std::lock_guard<std::mutex> lock(faults_.mutex);
                answer = ++faults_.answers;
            }
            if (fate == RequestFate::WrongLength || (config_.badLengthAt > 0 && answer == config_.badLengthAt)) {
                OverstateLength(reply.bytes);
            }
            if (!channel.Write(reply.bytes)) return;
        }
        if (reply.leave) return;
    }
}

ObexReply ObexSession::Handle(const std::string& packet) {
    uint8_t opcode = static_cast<uint8_t>(packet[0]);
    ObexReply reply;
    if (opcode == 0x80) return Connect(packet);
    if (opcode == 0x81) {
        connected_ = false;
        putActive_ = getActive_ = false;
        reply.bytes = Respond(0xA0, "", "");
        return reply;
    }
    if (opcode == 0xFF) {
        putActive_ = getActive_ = false;
        reply.bytes = Respond(0xA0, "", "");
        return reply;
    }
    if (!connected_) {
        reply.bytes = Respond(0xC3, "", "");
        return reply;
    }
    if ((opcode & 0x7F) == 0x05) return SetPath(packet);
    bool ok = true;
    std::vector<Header> headers = ParseHeaders(packet, 3, &ok);
    if (!ok) {
        reply.bytes = Respond(0xC0, "", "");
        return reply;
    }
    if ((opcode & 0x7F) == 0x02) return Put(opcode & 0x80, headers);
    if ((opcode & 0x7F) == 0x03) return Get(opcode & 0x80, headers);
    reply.bytes = Respond(0xD1, "", "");
    return reply;
}

ObexReply ObexSession::Connect(const std::string& packet) {
    ObexReply reply;
    if (packet.size() < 7) {
        reply.bytes = Respond(0xC0, "", "");
        return reply;
    }
    peerMax_ = (static_cast<unsigned char>(packet[5]) << 8) | static_cast<unsigned char>(packet[6]);
    bool ok = true;
    std::string target;
    bool hasTarget = false;
    for (const Header& h : ParseHeaders(packet, 7, &ok)) {
        if (h.id == 0x46) {
            target += h.data; // a Target split over packets is joined
            hasTarget = true;
        }
    }
    if (!ok || peerMax_ < 255 || (hasTarget && target != kFileSystemUuid && target != kFolderBrowsingUuid && target != kIrmc)) {
        reply.bytes = Respond(0xC6, "", "");
        return reply;
    }
    connected_ = true;
    drive_ = 0;
    folder_.clear();
    putActive_ = getActive_ = false;
    std::string fields = std::string("\x10\x00", 2) + U16(config_.maxPacket);
    std::string headers = std::string(1, static_cast<char>(0xCB)) + U32(1);
    if (hasTarget) headers += BytesHeader(0x4A, target);
    reply.bytes = Respond(0xA0, fields, headers);
    return reply;
}

ObexReply ObexSession::SetPath(const std::string& packet) {
    ObexReply reply;
    if (packet.size() < 5) {
        reply.bytes = Respond(0xC0, "", "");
        return reply;
    }
    uint8_t flags = static_cast<uint8_t>(packet[3]);
    bool ok = true;
    bool hasName = false;
    std::string name;
    for (const Header& h : ParseHeaders(packet, 5, &ok)) {
        if (h.id == 0x01) {
            hasName = true;
            name += NameToUtf8(h.data);
        }
    }
    auto answer = [&](uint8_t code) {
        reply.bytes = Respond(code, "", "");
        return reply;
    };
    if (!ok) return answer(0xC0);
    if (flags & 0x01) {
        if (folder_.empty()) return answer(0xC4);
        folder_.pop_back();
    }
    if (!hasName) return answer(0xA0);
    if (name.empty()) {
        folder_.clear();
        return answer(0xA0);
    }
    int drives = simulator_.options().driveCount;
    if (name.size() == 2 && name[1] == ':' && drives > 1) {
        int d = std::toupper(static_cast<unsigned char>(name[0])) - 'A';
        if (d < 0 || d >= drives) return answer(0xC4);
        drive_ = d;
        folder_.clear();
        return answer(0xA0);
    }
    if (name == ".." || name == "." || name.find_first_of("/\\:") != std::string::npos) return answer(0xC3);
    if (AtTelecom()) return answer(0xC4);
    if (drive_ == 0 && AtDriveRoot() && EqualsIgnoreCase(name, "telecom")) {
        folder_.push_back("telecom");
        return answer(0xA0);
    }
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::path(CurrentDir()) / name;
    if (!std::filesystem::is_directory(dir, ec)) {
        if (flags & 0x02) return answer(0xC4);
        if (std::filesystem::exists(dir, ec) || !std::filesystem::create_directory(dir, ec)) return answer(0xC3);
    }
    folder_.push_back(name);
    return answer(0xA0);
}

} // namespace modsim
