// The simulated module's flash behind the OBEX server: uploads, deletes, permissions, folder
// listings and the virtual "telecom" folder with the device information.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "obex_server.h"
#include "platform/local_offset.h"
#include "text_util.h"

namespace modsim {
namespace {

std::string U16(std::size_t v) {
    return std::string{static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)};
}

std::string MakeHeader(uint8_t id, const std::string& data) {
    return std::string(1, static_cast<char>(id)) + U16(data.size() + 3) + data;
}

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// The module shows file times in local time.
std::string LocalTimeText(std::filesystem::file_time_type when) {
    using namespace std::chrono;
    auto system = file_clock::to_sys(when);
    int64_t seconds = duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
    seconds += platform::LocalOffsetAtUtc(seconds);
    sys_days day{std::chrono::days{seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400}};
    int64_t rest = seconds - day.time_since_epoch().count() * 86400LL;
    year_month_day ymd{day};
    char text[32];
    std::snprintf(text, sizeof(text), "%04d%02u%02uT%02d%02d%02d", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), static_cast<int>(rest / 3600),
                  static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

} // namespace

ObexServerConfig ReadObexServerConfig(const Options& options) {
    ObexServerConfig config;
    auto number = [&](const char* name, long* out) {
        auto it = options.extensionValues.find(name);
        if (it != options.extensionValues.end()) *out = std::strtol(it->second.c_str(), nullptr, 0);
    };
    long packet = 0;
    number("obex-packet", &packet);
    if (packet >= 255 && packet <= 0xFFFF) config.maxPacket = static_cast<std::size_t>(packet);
    long limit = 0;
    number("flash-limit", &limit);
    if (limit > 0) config.flashLimit = static_cast<uint64_t>(limit);
    number("obex-drop-after", &config.dropAfter);
    number("obex-silent-after", &config.silentAfter);
    number("obex-bad-length", &config.badLengthAt);
    if (ParseObexFaultKind(options.obexFault, &config.fault)) {
        config.faultAt = static_cast<long>(options.obexFaultAt);
    }
    auto respond = options.extensionValues.find("obex-respond");
    if (respond != options.extensionValues.end()) {
        std::size_t eq = respond->second.find('=');
        if (eq != std::string::npos) {
            config.respondAt = std::strtol(respond->second.substr(0, eq).c_str(), nullptr, 10);
            config.respondCode = static_cast<uint8_t>(std::strtoul(respond->second.substr(eq + 1).c_str(), nullptr, 16));
        }
    }
    return config;
}

bool ObexSession::AtTelecom() const { return drive_ == 0 && !folder_.empty() && EqualsIgnoreCase(folder_[0], "telecom"); }

std::string ObexSession::CurrentDir() const {
    std::filesystem::path dir = simulator_.DriveFolder(drive_);
    for (const std::string& part : folder_) dir /= part;
    return dir.string();
}

std::string ObexSession::ModulePath(const std::string& name) const {
    std::string path(1, static_cast<char>('a' + drive_));
    path += ":";
    for (const std::string& part : folder_) path += "\\" + part;
    return ToLower(path + "\\" + name);
}

uint64_t ObexSession::FlashUsage() const {
    uint64_t total = 0;
    std::error_code ec;
    for (int d = 0; d < simulator_.options().driveCount; ++d) {
        std::string root = simulator_.DriveFolder(d);
        if (root.empty() || !std::filesystem::is_directory(root, ec)) continue;
        for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (ec) break;
            if (it->is_regular_file(ec)) total += it->file_size(ec);
        }
    }
    return total;
}

std::string ObexSession::ListingXml() {
    std::string xml = "<?xml version=\"1.0\"?>\r\n"
                      "<!DOCTYPE folder-listing SYSTEM \"obex-folder-listing.dtd\">\r\n"
                      "<folder-listing version=\"1.0\">\r\n";
    if (AtTelecom()) {
        std::string info = "MOD:" + simulator_.options().model + "\r\n";
        xml += "<file name=\"devinfo.txt\" size=\"" + std::to_string(info.size()) + "\" user-perm=\"R\"/>\r\n";
    } else {
        if (drive_ == 0 && AtDriveRoot()) xml += "<folder name=\"telecom\" user-perm=\"R\"/>\r\n";
        std::vector<std::filesystem::directory_entry> entries;
        std::error_code ec;
        for (auto it = std::filesystem::directory_iterator(CurrentDir(), ec);
             it != std::filesystem::directory_iterator(); it.increment(ec)) {
            if (ec) break;
            entries.push_back(*it);
        }
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.path() < b.path(); });
        for (const auto& e : entries) {
            std::string name = XmlEscape(e.path().filename().string());
            std::string when = LocalTimeText(e.last_write_time(ec));
            if (e.is_directory(ec)) {
                xml += "<folder name=\"" + name + "\" modified=\"" + when + "\"/>\r\n";
                continue;
            }
            std::string perm = "RWD";
            {
                std::lock_guard<std::mutex> lock(faults_.mutex);
                auto p = faults_.permissions.find(ModulePath(e.path().filename().string()));
                if (p != faults_.permissions.end()) perm = p->second;
            }
            xml += "<file name=\"" + name + "\" size=\"" + std::to_string(e.file_size(ec)) + "\" modified=\"" + when +
                   "\" user-perm=\"" + XmlEscape(perm) + "\"/>\r\n";
        }
    }
    return xml + "</folder-listing>\r\n";
}

uint8_t ObexSession::DeleteEntry(const std::string& name) {
    if (AtTelecom() || (drive_ == 0 && AtDriveRoot() && EqualsIgnoreCase(name, "telecom"))) return 0xC3;
    std::error_code ec;
    std::filesystem::path target = std::filesystem::path(CurrentDir()) / name;
    if (!std::filesystem::exists(target, ec)) return 0xC4;
    if (std::filesystem::is_directory(target, ec) && !std::filesystem::is_empty(target, ec)) return 0xC3;
    if (!std::filesystem::remove(target, ec)) return 0xD0;
    std::lock_guard<std::mutex> lock(faults_.mutex);
    faults_.permissions.erase(ModulePath(name));
    return 0xA0;
}

uint8_t ObexSession::WriteFile(const std::string& name, const std::string& content) {
    if (AtTelecom()) return 0xC3;
    std::filesystem::path target = std::filesystem::path(CurrentDir()) / name;
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) return 0xC3;
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) return 0xD0;
    std::lock_guard<std::mutex> lock(faults_.mutex);
    faults_.permissions.erase(ModulePath(name));
    return 0xA0;
}

ObexReply ObexSession::Put(bool final, const std::vector<Header>& headers) {
    ObexReply reply;
    if (!putActive_) {
        putActive_ = true;
        putName_.clear();
        putBody_.clear();
        putHasBody_ = putHasParameters_ = false;
        putPermissions_.clear();
    }
    auto refuse = [&](uint8_t code) {
        putActive_ = false;
        putBody_.clear();
        reply.bytes = Respond(code, "", "");
        return reply;
    };
    auto existingSize = [&]() -> uint64_t {
        std::error_code ec;
        auto size = std::filesystem::file_size(std::filesystem::path(CurrentDir()) / putName_, ec);
        return ec ? 0 : size;
    };
    for (const Header& h : headers) {
        if (h.id == 0x01) {
            putName_ += NameToUtf8(h.data);
        } else if (h.id == 0x48 || h.id == 0x49) {
            putHasBody_ = true;
            putBody_ += h.data;
            if (config_.flashLimit > 0 && FlashUsage() - existingSize() + putBody_.size() > config_.flashLimit) {
                return refuse(0xE0); // Database Full: nothing of the object is kept
            }
        } else if (h.id == 0x4C) {
            putHasParameters_ = true;
            for (std::size_t i = 0; i + 2 <= h.data.size();) {
                uint8_t tag = static_cast<uint8_t>(h.data[i]);
                std::size_t len = static_cast<unsigned char>(h.data[i + 1]);
                std::string value = h.data.substr(i + 2, len);
                if (tag == 0x38 && !value.empty()) putPermissions_ = value;
                i += 2 + len;
            }
        } else if (h.id == 0xC3 && h.data.size() == 4) {
            uint64_t declared = (static_cast<uint64_t>(static_cast<unsigned char>(h.data[0])) << 24) |
                                (static_cast<unsigned char>(h.data[1]) << 16) |
                                (static_cast<unsigned char>(h.data[2]) << 8) | static_cast<unsigned char>(h.data[3]);
            if (config_.flashLimit > 0 && FlashUsage() - existingSize() + declared > config_.flashLimit) {
                return refuse(0xE0);
            }
        }
    }
    if (!final) {
        reply.bytes = Respond(0x90, "", "");
        return reply;
    }
    putActive_ = false;
    if (putName_.empty() || putName_.find_first_of("/\\:") != std::string::npos || putName_ == "..") {
        return refuse(0xC0);
    }
    uint8_t code;
    if (putHasBody_) {
        code = WriteFile(putName_, putBody_);
    } else if (putHasParameters_) {
        std::error_code ec;
        bool exists = std::filesystem::exists(std::filesystem::path(CurrentDir()) / putName_, ec);
        code = exists ? 0xA0 : 0xC4;
        if (exists && !putPermissions_.empty()) {
            // The permission text arrives as "RWD""R": the user part is what the listing shows.
            std::string user = putPermissions_;
            if (user.size() >= 2 && user[0] == '"') user = user.substr(1, user.find('"', 1) - 1);
            std::lock_guard<std::mutex> lock(faults_.mutex);
            faults_.permissions[ModulePath(putName_)] = user;
        }
    } else {
        code = DeleteEntry(putName_);
    }
    putBody_.clear();
    reply.bytes = Respond(code, "", "");
    return reply;
}

ObexReply ObexSession::Get(bool final, const std::vector<Header>& headers) {
    ObexReply reply;
    if (!getActive_ || getData_.empty()) {
        if (!getActive_) {
            getActive_ = true;
            getName_.clear();
            getType_.clear();
            getData_.clear();
            getOffset_ = 0;
            getLengthSent_ = false;
        }
        bool building = getOffset_ == 0 && !getLengthSent_;
        for (const Header& h : headers) {
            if (h.id == 0x01) getName_ += NameToUtf8(h.data);
            if (h.id == 0x42) getType_ += std::string(h.data.c_str()); // with or without its NUL
        }
        if (!final) {
            reply.bytes = Respond(0x90, "", "");
            return reply;
        }
        if (building) {
            std::error_code ec;
            if (getType_ == "x-obex/folder-listing") {
                std::vector<std::string> saved = folder_;
                if (!getName_.empty()) {
                    if (!std::filesystem::is_directory(std::filesystem::path(CurrentDir()) / getName_, ec)) {
                        getActive_ = false;
                        reply.bytes = Respond(0xC4, "", "");
                        return reply;
                    }
                    folder_.push_back(getName_);
                }
                getData_ = ListingXml();
                folder_ = saved;
            } else if (AtTelecom() && EqualsIgnoreCase(getName_, "devinfo.txt")) {
                getData_ = "MOD:" + simulator_.options().model + "\r\n";
            } else {
                std::filesystem::path file = std::filesystem::path(CurrentDir()) / getName_;
                if (getName_.empty() || AtTelecom() || !std::filesystem::is_regular_file(file, ec)) {
                    getActive_ = false;
                    reply.bytes = Respond(0xC4, "", "");
                    return reply;
                }
                std::ifstream in(file, std::ios::binary);
                getData_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            }
        }
    }
    return NextGetChunk();
}

ObexReply ObexSession::NextGetChunk() {
    ObexReply reply;
    std::size_t limit = std::min(peerMax_, config_.maxPacket);
    std::string headers;
    if (!getLengthSent_) {
        uint32_t size = static_cast<uint32_t>(getData_.size());
        headers += std::string(1, static_cast<char>(0xC3)) + U16(size >> 16) + U16(size & 0xFFFF);
        getLengthSent_ = true;
    }
    std::size_t room = limit - 3 - headers.size() - 3;
    std::size_t rest = getData_.size() - getOffset_;
    if (rest <= room) {
        headers += MakeHeader(0x49, getData_.substr(getOffset_));
        getActive_ = false;
        getData_.clear();
        reply.bytes = Respond(0xA0, "", headers);
        return reply;
    }
    headers += MakeHeader(0x48, getData_.substr(getOffset_, room));
    getOffset_ += room;
    reply.bytes = Respond(0x90, "", headers);
    return reply;
}

} // namespace modsim
