// A Windows stand-in for java.exe and javaw.exe in the trayhost tests. It reports what the
// launcher handed it and does what its options say; everything goes to standard output through
// the platform's raw streams (no text-mode line ends):
//   ARG <n> <text>      each argument (all of them, options included)
//   PATH=<value>        the PATH it was given
//   OUTPUT <name>       with --pipe-name: the name of the pipe its standard output is
//   STDIN <n> <sum>     with --stdin: bytes read from standard input and their sum
//   --flood N           N bytes of numbered lines, alternately on standard output and error
//   --wait FILE         prints "WAITING", then waits until FILE exists
//   --exit N            ends with N (default 3)
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/env.h"
#include "platform/standard_streams.h"

namespace {

void Out(const std::string& text) { platform::WriteStandardOutput(text.data(), text.size()); }

std::string PipeName() {
    alignas(FILE_NAME_INFO) char buffer[1024] = {};
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer);
    if (!GetFileInformationByHandleEx(GetStdHandle(STD_OUTPUT_HANDLE), FileNameInfo, info, sizeof buffer - 2)) {
        return "(unknown " + std::to_string(GetLastError()) + ")";
    }
    std::string name;
    for (DWORD k = 0; k < info->FileNameLength / 2; ++k) name += static_cast<char>(info->FileName[k]);
    return name;
}

// Numbered lines of 64 bytes in blocks of 64 lines, alternately to standard output and standard
// error. One pipe carries both, so they arrive in the order written.
void Flood(long total) {
    char block[64 * 64 + 1];
    for (long n = 0, k = 0; n * 64 < total; ++k) {
        int used = 0;
        for (int line = 0; line < 64 && n * 64 < total; ++line, ++n) {
            used += std::snprintf(block + used, sizeof block - static_cast<size_t>(used), "%08ld %054ld\n", n, n * 7919);
        }
        if (k % 2 == 0) platform::WriteStandardOutput(block, static_cast<size_t>(used));
        else platform::WriteStandardError(block, static_cast<size_t>(used));
    }
}

} // namespace

int main(int argc, char** argv) {
    int exitCode = 3;
    for (int k = 1; k < argc; ++k) {
        Out("ARG " + std::to_string(k) + " " + argv[k] + "\n");
    }
    Out("PATH=" + platform::GetEnv("PATH").value_or("(unset)") + "\n");
    for (int k = 1; k < argc; ++k) {
        const std::string option = argv[k];
        const std::string value = k + 1 < argc ? argv[k + 1] : "";
        if (option == "--pipe-name") {
            Out("OUTPUT " + PipeName() + "\n");
        } else if (option == "--stdin") {
            long count = 0, sum = 0;
            char buffer[4096];
            DWORD got = 0;
            while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
                for (DWORD i = 0; i < got; ++i) sum += static_cast<unsigned char>(buffer[i]);
                count += static_cast<long>(got);
            }
            Out("STDIN " + std::to_string(count) + " " + std::to_string(sum) + "\n");
        } else if (option == "--flood") {
            Flood(std::atol(value.c_str()));
        } else if (option == "--wait") {
            Out("WAITING\n");
            while (!std::filesystem::exists(value)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        } else if (option == "--exit") {
            exitCode = std::atoi(value.c_str());
        }
    }
    return exitCode;
}
