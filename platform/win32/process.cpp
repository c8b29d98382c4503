// Child processes on Windows: CreateProcess with the arguments quoted into one command line,
// inheritable pipe or NUL handles as the child's standard handles, and only those handles
// inherited, so a pipe's write end never leaks into another child (which would keep the pipe
// open after our own child has ended).
#include "platform/process.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <optional>

#include "platform/env.h"
#include "platform/files.h"
#include "scoped_handle.h"

namespace platform {

namespace {

using win32::ScopedHandle;

bool HasSeparator(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

bool HasExtension(const std::string& name) {
    auto dot = name.find_last_of(".\\/:");
    return dot != std::string::npos && name[dot] == '.';
}

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        if (end > start) {
            items.push_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    return items;
}

bool IsFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Looks a bare program name up in the folders of path, trying each of PATHEXT's extensions when
// the name has none, as the command interpreter does.
std::string FindInFolders(const std::string& name, const std::string& path) {
    std::vector<std::string> extensions{""};
    if (!HasExtension(name)) {
        extensions = SplitList(GetEnv("PATHEXT").value_or(".COM;.EXE;.BAT;.CMD"));
    }
    for (std::string folder : SplitList(path)) {
        if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
            folder = folder.substr(1, folder.size() - 2);
        }
        if (folder.back() != '\\' && folder.back() != '/') {
            folder += '\\';
        }
        for (const auto& extension : extensions) {
            if (IsFile(folder + name + extension)) {
                return folder + name + extension;
            }
        }
    }
    return {};
}

std::string CommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const auto& argument : arguments) {
        if (!line.empty()) {
            line += ' ';
        }
        line += QuoteArgument(argument);
    }
    return line;
}

// An ANSI environment block: NAME=value entries, each ended by a NUL, and one more NUL.
std::string EnvironmentText(const std::map<std::string, std::string>& environment) {
    std::string block;
    for (const auto& [name, value] : environment) {
        block += name;
        block += '=';
        block += value;
        block += '\0';
    }
    if (block.empty()) {
        block += '\0';
    }
    block += '\0';
    return block;
}

ScopedHandle OpenNul(bool forWriting) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ScopedHandle(CreateFileA("NUL", forWriting ? GENERIC_WRITE : GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr));
}

// The pipe for a child's output under a name of its own: "\\.\pipe\" + prefix + the tick count in
// hexadecimal, counted up while a name is taken (two launchers in one millisecond). One
// instance, inbound, byte mode, 4096-byte buffers. Both ends are synchronous: a child writes its
// standard output with plain WriteFile calls, which an overlapped handle does not support.
bool CreateNamedOutputPipe(const std::string& prefix, ScopedHandle& readEnd, ScopedHandle& writeEnd, int& err) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    for (DWORD number = GetTickCount();; ++number) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%lx", static_cast<unsigned long>(number));
        const std::string name = "\\\\.\\pipe\\" + prefix + hex;
        HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 1000, nullptr);
        if (server == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY) {
                continue;
            }
            err = static_cast<int>(error);
            return false;
        }
        readEnd.Reset(server);
        writeEnd.Reset(CreateFileA(name.c_str(), GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, 0, nullptr));
        if (!writeEnd.Valid()) {
            err = static_cast<int>(GetLastError());
            return false;
        }
        return true;
    }
}

// An inheritable copy of one of our own standard handles; empty when we have none.
ScopedHandle InheritableCopy(DWORD which) {
    HANDLE own = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (own == nullptr || own == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        return ScopedHandle();
    }
    return ScopedHandle(copy);
}

// The attribute list that limits inheritance to the given handles.
class InheritList {
public:
    bool Init(std::vector<HANDLE> handles) {
        handles_ = std::move(handles);
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_ = std::make_unique<unsigned char[]>(size);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.get());
        if (!InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
            list_ = nullptr;
            return false;
        }
        return UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                         handles_.size() * sizeof(HANDLE), nullptr, nullptr) != FALSE;
    }
    ~InheritList() {
        if (list_ != nullptr) {
            DeleteProcThreadAttributeList(list_);
        }
    }
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::unique_ptr<unsigned char[]> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

class Win32Process : public Process {
public:
    Win32Process(ScopedHandle process, int id, ScopedHandle output)
        : process_(std::move(process)), id_(id), output_(std::move(output)) {}

    int Id() const override { return id_; }

    long ReadOutput(char* buffer, size_t size) override {
        if (!output_.Valid()) {
            return 0;
        }
        DWORD got = 0;
        DWORD want = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        if (!ReadFile(output_.Get(), buffer, want, &got, nullptr)) {
            // The child and every copy of the write end are gone: the end of the output.
            return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
        }
        return static_cast<long>(got);
    }

    bool Wait(int timeoutMs, int* exitCode) override {
        DWORD wait = WaitForSingleObject(process_.Get(), timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
        if (wait != WAIT_OBJECT_0) {
            return false;
        }
        DWORD code = 0;
        if (!GetExitCodeProcess(process_.Get(), &code)) {
            return false;
        }
        if (exitCode != nullptr) {
            // Windows keeps all 32 bits: a program that ends with -890 reports -890.
            *exitCode = static_cast<int>(code);
        }
        return true;
    }

    bool Terminate(int exitCode) override {
        if (WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0) {
            return false;
        }
        if (!TerminateProcess(process_.Get(), static_cast<UINT>(exitCode))) {
            return false;
        }
        // The end is asynchronous; wait for it so the caller can rely on it.
        WaitForSingleObject(process_.Get(), INFINITE);
        return true;
    }

private:
    ScopedHandle process_;
    int id_;
    ScopedHandle output_;
};

} // namespace

std::unique_ptr<Process> Process::Start(const ProcessOptions& options, int* error) {
    int ignored;
    int& err = error != nullptr ? *error : ignored;
    err = 0;
    if (options.arguments.empty() || options.arguments[0].empty()) {
        err = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    // A bare name is looked up in the PATH the child will have, as on POSIX; a name not found
    // there is left to CreateProcess's own search (the system folders).
    std::string program;
    if (!HasSeparator(options.arguments[0])) {
        std::string path = GetEnv("PATH").value_or("");
        if (options.replaceEnvironment) {
            auto childPath = options.environment.find("PATH");
            path = childPath != options.environment.end() ? childPath->second : "";
        }
        program = FindInFolders(options.arguments[0], path);
    }

    ScopedHandle outputRead, outputWrite, input;
    ScopedHandle ownOutput, ownError;
    bool useStdHandles = true;
    if (options.output == ChildOutput::Pipe && !options.outputPipeName.empty()) {
        if (!CreateNamedOutputPipe(options.outputPipeName, outputRead, outputWrite, err)) {
            return nullptr;
        }
    } else if (options.output == ChildOutput::Pipe) {
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
            err = static_cast<int>(GetLastError());
            return nullptr;
        }
        outputRead.Reset(readEnd);
        outputWrite.Reset(writeEnd);
        SetHandleInformation(outputRead.Get(), HANDLE_FLAG_INHERIT, 0);
    } else if (options.output == ChildOutput::Discard) {
        outputWrite = OpenNul(true);
    } else if (options.ownSession) {
        // A child with a console of its own writes into that console.
        useStdHandles = !options.inheritInput;
    } else {
        ownOutput = InheritableCopy(STD_OUTPUT_HANDLE);
        ownError = InheritableCopy(STD_ERROR_HANDLE);
    }
    input = options.inheritInput ? InheritableCopy(STD_INPUT_HANDLE) : OpenNul(false);

    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
    std::vector<HANDLE> inherited;
    if (useStdHandles) {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = input.Get();
        startup.StartupInfo.hStdOutput = outputWrite.Valid() ? outputWrite.Get() : ownOutput.Get();
        startup.StartupInfo.hStdError = outputWrite.Valid() ? outputWrite.Get() : ownError.Get();
        for (HANDLE handle : {startup.StartupInfo.hStdInput, startup.StartupInfo.hStdOutput,
                              startup.StartupInfo.hStdError}) {
            bool listed = false;
            for (HANDLE known : inherited) {
                listed = listed || known == handle;
            }
            if (handle != nullptr && handle != INVALID_HANDLE_VALUE && !listed) {
                inherited.push_back(handle);
            }
        }
    }
    DWORD flags = 0;
    if (options.ownSession) {
        flags |= CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP;
    }
    std::string environment;
    if (options.replaceEnvironment) {
        environment = EnvironmentText(options.environment);
    }
    std::string commandLine = CommandLine(options.arguments);
    PROCESS_INFORMATION info{};
    auto create = [&](bool limitInheritance) {
        InheritList inheritList;
        DWORD createFlags = flags;
        startup.lpAttributeList = nullptr;
        startup.StartupInfo.cb = sizeof startup.StartupInfo;
        if (limitInheritance) {
            if (!inheritList.Init(inherited)) {
                return FALSE;
            }
            startup.lpAttributeList = inheritList.Get();
            startup.StartupInfo.cb = sizeof startup;
            createFlags |= EXTENDED_STARTUPINFO_PRESENT;
        }
        std::string line = commandLine; // CreateProcess may write into it
        return CreateProcessA(program.empty() ? nullptr : program.c_str(), line.data(), nullptr, nullptr,
                              inherited.empty() ? FALSE : TRUE, createFlags,
                              options.replaceEnvironment ? environment.data() : nullptr,
                              options.workingFolder.empty() ? nullptr : options.workingFolder.c_str(),
                              &startup.StartupInfo, &info);
    };
    BOOL started = create(!inherited.empty());
    // Windows 7 refuses its console pseudo-handles in an inheritance list: then every inheritable
    // handle is inherited, as before that list existed.
    if (!started && !inherited.empty() && GetLastError() == ERROR_INVALID_PARAMETER) {
        started = create(false);
    }
    if (!started) {
        err = static_cast<int>(GetLastError());
        return nullptr;
    }
    CloseHandle(info.hThread);
    // Our copy of the write end goes now, so the pipe ends when the child's copies do.
    outputWrite.Reset();
    return std::make_unique<Win32Process>(ScopedHandle(info.hProcess), static_cast<int>(info.dwProcessId),
                                          std::move(outputRead));
}

std::string FindProgram(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    if (HasSeparator(name)) {
        return name;
    }
    return FindInFolders(name, GetEnv("PATH").value_or(""));
}

std::string ErrorText(int error) {
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return "Error " + std::to_string(error);
    }
    std::string message(text, length);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

} // namespace platform
