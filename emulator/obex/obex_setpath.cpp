// Folder navigation of the OBEX engine: from the current folder to the folder of a path with as
// few SETPATH exchanges as the cost rule finds, leaving the file name for the request that follows.
#include <vector>

#include "obex/obex_helpers.h"

namespace obex {
namespace {

std::vector<std::u16string> Components(const std::u16string& path) {
    std::vector<std::u16string> parts;
    std::u16string current;
    for (char16_t c : path) {
        if (c == u'\\') {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

bool HasDriveSyntax(const std::u16string& path) {
    return path.size() >= 2 && path[0] >= u'A' && path[0] <= u'Z' && path[1] == u':';
}

void RemoveLastComponent(std::u16string& folder) {
    if (folder.size() <= 1) return;
    std::size_t cut = folder.find_last_of(u'\\', folder.size() - 2);
    folder.resize(cut == std::u16string::npos ? 1 : cut + 1);
}

} // namespace

HRESULT OBEXHelpers::SetPathPacket(uint8_t flags, const std::u16string* name) {
    BeginPacket();
    buffer_[3] = flags;
    buffer_[4] = 0;
    cursor_ = 5;
    if (name != nullptr) {
        HRESULT hr = PutName(name, 5);
        if (Failed(hr)) return hr;
    }
    HRESULT hr = Send(kOpSetPath, kDefaultTimeoutMs);
    return Failed(hr) ? hr : kOk;
}

HRESULT OBEXHelpers::SetPath(int /*session*/, const std::u16string& path, uint8_t nameOpcode, bool create) {
    int drives = 0;
    if (Failed(TransportDriveCount(&drives)) || drives < 1) {
        drives = 1;
    }
    std::u16string trimmed = path;
    while (!trimmed.empty() && (trimmed.back() == u'\\' || trimmed.back() == u'*')) trimmed.pop_back();
    if (trimmed.size() > 127 || (!HasDriveSyntax(trimmed) && trimmed.size() > 125) ||
        path.find(u'/') != std::u16string::npos) {
        return kInvalidArg;
    }
    const std::u16string empty;
    std::u16string rest = path;
    if (drives > 1 && HasDriveSyntax(path)) {
        std::u16string prefix = path.substr(0, 2);
        if (prefix != currentDrive_) {
            HRESULT hr = SetPathPacket(0x00, &prefix);
            if (Failed(hr)) return hr;
            hr = SetPathPacket(0x00, &empty);
            if (Failed(hr)) return hr;
            currentFolder_ = u"\\";
            currentDrive_ = prefix;
        } else if (path.size() == 2 && currentFolder_ != u"\\") {
            HRESULT hr = SetPathPacket(0x00, &empty);
            if (Failed(hr)) return hr;
            currentFolder_ = u"\\";
        }
        rest = path.substr(2);
    }
    std::vector<std::u16string> target = Components(rest);
    std::vector<std::u16string> current = Components(currentFolder_);

    // Components shared with the current folder; the last path component never counts.
    std::size_t shared = 0;
    std::size_t afterShared = 1;
    while (shared < current.size() && shared + 1 < target.size() && current[shared] == target[shared]) {
        afterShared += current[shared].size() + 1;
        ++shared;
    }

    auto toRoot = [&]() -> HRESULT {
        HRESULT hr = SetPathPacket(0x00, &empty);
        if (Succeeded(hr)) currentFolder_ = u"\\";
        return hr;
    };

    bool climbPending = false;
    std::size_t next = shared;
    if (currentFolder_ != u"\\") {
        if (shared == 0) {
            HRESULT hr = toRoot();
            if (Failed(hr)) return hr;
        } else {
            std::size_t levels = current.size() - shared;
            if (levels > 0) {
                uint64_t costRoot = ((shared + 1) * 757 + afterShared) * 200;
                uint64_t costUp = (levels - 1) * 151000;
                if (costRoot <= costUp) {
                    HRESULT hr = toRoot();
                    if (Failed(hr)) return hr;
                    next = 0;
                } else {
                    for (std::size_t i = 0; i + 1 < levels; ++i) {
                        HRESULT hr = SetPathPacket(0x03, nullptr);
                        if (Failed(hr)) return hr;
                        RemoveLastComponent(currentFolder_);
                    }
                    climbPending = true;
                }
            }
        }
    }

    auto enter = [&](const std::u16string& name, uint8_t flags) -> HRESULT {
        HRESULT hr = SetPathPacket(flags, &name);
        if (Failed(hr)) return hr;
        if (climbPending) {
            RemoveLastComponent(currentFolder_);
            climbPending = false;
        }
        currentFolder_ += name;
        currentFolder_ += u'\\';
        return kOk;
    };

    for (; next + 1 < target.size(); ++next) {
        HRESULT hr = enter(target[next], climbPending ? 0x03 : 0x02);
        if (Failed(hr)) return hr;
    }
    if (next < target.size()) {
        const std::u16string& last = target[next];
        if (create) {
            return enter(last, climbPending ? 0x01 : 0x00);
        }
        if (climbPending) {
            HRESULT hr = SetPathPacket(0x03, nullptr);
            if (Failed(hr)) return hr;
            RemoveLastComponent(currentFolder_);
        }
        if (last[0] != u'*') {
            return PutName(&last, nameOpcode);
        }
    }
    return kOk;
}

} // namespace obex
