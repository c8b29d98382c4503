#include "platform/process.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/env.h"

namespace platform {

namespace {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    ~FileDescriptor() { Reset(); }
    int Get() const { return fd_; }
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

bool MakePipe(FileDescriptor& readEnd, FileDescriptor& writeEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    readEnd.Reset(fds[0]);
    writeEnd.Reset(fds[1]);
    return true;
}

class PosixProcess : public Process {
public:
    PosixProcess(pid_t pid, FileDescriptor output) : pid_(pid), output_(std::move(output)) {}

    ~PosixProcess() override {
        // Reap the child if it has already ended, so no zombie stays behind.
        if (!exitCode_) {
            int status;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exitCode_ = 0;
            }
        }
    }

    int Id() const override { return static_cast<int>(pid_); }

    long ReadOutput(char* buffer, size_t size) override {
        if (output_.Get() < 0) {
            return 0;
        }
        for (;;) {
            ssize_t got = read(output_.Get(), buffer, size);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            return static_cast<long>(got);
        }
    }

    bool Wait(int timeoutMs, int* exitCode) override {
        if (!exitCode_) {
            int waited = 0;
            for (;;) {
                int status = 0;
                pid_t r = waitpid(pid_, &status, timeoutMs < 0 ? 0 : WNOHANG);
                if (r == pid_) {
                    exitCode_ = Decode(status);
                    break;
                }
                if (r < 0 && errno != EINTR) {
                    return false;
                }
                if (timeoutMs >= 0) {
                    if (waited >= timeoutMs) {
                        return false;
                    }
                    usleep(5000);
                    waited += 5;
                }
            }
        }
        if (exitCode != nullptr) {
            *exitCode = *exitCode_;
        }
        return true;
    }

    bool Terminate(int exitCode) override {
        if (exitCode_) {
            return false;
        }
        if (kill(pid_, SIGKILL) != 0) {
            return false;
        }
        terminatedWith_ = exitCode;
        int status;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        exitCode_ = exitCode;
        return true;
    }

private:
    int Decode(int status) const {
        if (terminatedWith_) {
            return *terminatedWith_;
        }
        if (WIFEXITED(status)) {
            return WEXITSTATUS(status);
        }
        if (WIFSIGNALED(status)) {
            return 128 + WTERMSIG(status);
        }
        return -1;
    }

    pid_t pid_;
    FileDescriptor output_;
    std::optional<int> exitCode_;
    std::optional<int> terminatedWith_;
};

[[noreturn]] void ExecChild(const ProcessOptions& options, int outputFd, int errorFd) {
    if (options.ownSession) {
        setsid();
    }
    if (!options.inheritInput) {
        int null = open("/dev/null", O_RDONLY);
        if (null >= 0) {
            dup2(null, 0);
        }
    }
    if (outputFd >= 0) {
        dup2(outputFd, 1);
        dup2(outputFd, 2);
    } else if (options.output == ChildOutput::Discard) {
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
    }
    signal(SIGPIPE, SIG_DFL);
    if (!options.workingFolder.empty() && chdir(options.workingFolder.c_str()) != 0) {
        int e = errno;
        (void)!write(errorFd, &e, sizeof e);
        _exit(127);
    }
    std::vector<char*> argv;
    for (const auto& a : options.arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<std::string> envText;
    std::vector<char*> envp;
    if (options.replaceEnvironment) {
        for (const auto& [k, v] : options.environment) {
            envText.push_back(k + "=" + v);
        }
        for (auto& e : envText) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        // PATH lookup uses the child's PATH, as a shell would.
        auto path = options.environment.find("PATH");
        if (path != options.environment.end()) {
            setenv("PATH", path->second.c_str(), 1);
        }
        execvpe(argv[0], argv.data(), envp.data());
    } else {
        execvp(argv[0], argv.data());
    }
    int e = errno;
    (void)!write(errorFd, &e, sizeof e);
    _exit(127);
}

} // namespace

std::unique_ptr<Process> Process::Start(const ProcessOptions& options, int* error) {
    int ignored;
    int& err = error != nullptr ? *error : ignored;
    err = 0;
    if (options.arguments.empty() || options.arguments[0].empty()) {
        err = ENOENT;
        return nullptr;
    }
    FileDescriptor outRead, outWrite, errRead, errWrite;
    if (options.output == ChildOutput::Pipe && !MakePipe(outRead, outWrite)) {
        err = errno;
        return nullptr;
    }
    // A close-on-exec pipe reports exec failures back to us.
    if (!MakePipe(errRead, errWrite)) {
        err = errno;
        return nullptr;
    }
    pid_t pid = fork();
    if (pid < 0) {
        err = errno;
        return nullptr;
    }
    if (pid == 0) {
        ExecChild(options, outWrite.Get(), errWrite.Get());
    }
    outWrite.Reset();
    errWrite.Reset();
    int childErr = 0;
    ssize_t got;
    while ((got = read(errRead.Get(), &childErr, sizeof childErr)) < 0 && errno == EINTR) {
    }
    if (got == static_cast<ssize_t>(sizeof childErr)) {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        err = childErr;
        return nullptr;
    }
    return std::make_unique<PosixProcess>(pid, std::move(outRead));
}

std::string FindProgram(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    if (name.find('/') != std::string::npos) {
        return name;
    }
    auto path = GetEnv("PATH").value_or("/usr/local/bin:/usr/bin:/bin");
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string dir = path.substr(start, end - start);
        if (dir.empty()) {
            dir = ".";
        }
        std::string candidate = dir + "/" + name;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

std::string ErrorText(int error) { return std::strerror(error); }

} // namespace platform
