// Files and folders on Windows.
#include "platform/files.h"

#include <windows.h>
#include <aclapi.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/env.h"
#include "scoped_handle.h"

namespace platform {

std::string TempFolder() {
    char buffer[MAX_PATH + 2];
    DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) {
        return "C:\\Windows\\Temp\\";
    }
    std::string folder(buffer, length);
    if (folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

std::string ExecutablePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        // A full buffer may mean a cut path: try again with more room.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

char PathSeparator() { return '\\'; }

std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) {
    // Every entry is matched by our own wildcard rules: the system's own matching also compares
    // the short 8.3 names, so "*.jar" would find "x.jarx" as well.
    std::vector<std::string> names;
    std::string all = folder;
    if (!all.empty() && all.back() != '\\' && all.back() != '/') {
        all += '\\';
    }
    all += '*';
    WIN32_FIND_DATAA entry{};
    HANDLE find = FindFirstFileA(all.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        std::string name = entry.cFileName;
        if (name != "." && name != ".." && MatchesWildcard(name, pattern, true)) {
            names.push_back(name);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

bool IsExecutableFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    // Windows runs a file by its extension: one of PATHEXT's.
    auto dot = path.find_last_of(".\\/");
    if (dot == std::string::npos || path[dot] != '.') {
        return false;
    }
    std::string extension = path.substr(dot);
    std::string known = GetEnv("PATHEXT").value_or(".COM;.EXE;.BAT;.CMD");
    auto upper = [](std::string text) {
        for (char& c : text) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        return text;
    };
    extension = upper(extension);
    known = upper(known);
    size_t start = 0;
    while (start <= known.size()) {
        size_t end = known.find(';', start);
        if (end == std::string::npos) {
            end = known.size();
        }
        if (known.compare(start, end - start, extension) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool MakeOwnerOnly(const std::string& path) {
    // A protected access list with one entry, for the user this process runs as: nothing is
    // inherited from the folder, nobody else may open the file.
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) {
        return false;
    }
    win32::ScopedHandle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0) {
        return false;
    }
    auto buffer = std::make_unique<unsigned char[]>(size);
    auto* user = reinterpret_cast<TOKEN_USER*>(buffer.get());
    if (!GetTokenInformation(token.Get(), TokenUser, user, size, &size)) {
        return false;
    }
    EXPLICIT_ACCESSA access{};
    access.grfAccessPermissions = GENERIC_READ | GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName = static_cast<LPSTR>(user->User.Sid);
    PACL acl = nullptr;
    if (SetEntriesInAclA(1, &access, nullptr, &acl) != ERROR_SUCCESS) {
        return false;
    }
    DWORD result = SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                                         DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, acl, nullptr);
    LocalFree(acl);
    return result == ERROR_SUCCESS;
}

} // namespace platform
