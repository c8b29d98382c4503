#include "debuglink/link_state.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/env.h"
#include "platform/files.h"

std::string LinkFolder() {
    if (auto folder = platform::GetEnv("MODLINK_LINK_DIR"); folder && !folder->empty()) {
        return *folder;
    }
    if (auto runtime = platform::GetEnv("XDG_RUNTIME_DIR"); runtime && !runtime->empty()) {
        return *runtime + platform::PathSeparator() + "modlink-links";
    }
    return platform::TempFolder() + "modlink-links";
}

std::string LinkStatePath(const std::string& entryName) {
    std::string safe;
    for (unsigned char c : entryName) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.';
        safe += plain ? static_cast<char>(c) : '_';
    }
    return LinkFolder() + platform::PathSeparator() + safe + ".link";
}

bool WriteLinkState(const std::string& path, const LinkState& state) {
    std::error_code ec;
    const std::filesystem::path target(path);
    std::filesystem::create_directories(target.parent_path(), ec);
    const std::string temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) {
            return false;
        }
        file << "entry=" << state.entryName << "\n"
             << "holder=" << state.holderId << "\n"
             << "state=" << state.state << "\n"
             << "error=" << state.error << "\n"
             << "port=" << state.portName << "\n"
             << "type=" << state.linkType << "\n";
        if (!file.flush()) {
            return false;
        }
    }
    platform::MakeOwnerOnly(temporary);
    std::filesystem::rename(temporary, target, ec);
    return !ec;
}

bool ReadLinkState(const std::string& path, LinkState& state) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    LinkState read;
    bool hasEntry = false;
    std::string line;
    while (std::getline(file, line)) {
        std::string::size_type equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "entry") {
            read.entryName = value;
            hasEntry = true;
        } else if (key == "holder") {
            read.holderId = std::atoi(value.c_str());
        } else if (key == "state") {
            read.state = value;
        } else if (key == "error") {
            read.error = std::atoi(value.c_str());
        } else if (key == "port") {
            read.portName = value;
        } else if (key == "type") {
            read.linkType = value;
        }
    }
    if (!hasEntry || read.holderId <= 0) {
        return false;
    }
    state = read;
    return true;
}

std::vector<LinkState> ListLinkStates() {
    std::vector<LinkState> states;
    const std::string folder = LinkFolder();
    for (const std::string& name : platform::ListFolder(folder, "*.link")) {
        LinkState state;
        if (ReadLinkState(folder + platform::PathSeparator() + name, state)) {
            states.push_back(state);
        }
    }
    return states;
}
