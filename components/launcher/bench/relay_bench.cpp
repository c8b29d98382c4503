// Throughput of the launcher's output relay: a producer started through the launcher writes
// a fixed amount to its standard output, the launcher copies it to a file. Prints MB/s.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/launcher_tree.h"

int main() {
    launcher_test::LauncherTree tree;
    // An empty command template: the arguments are the command.
    tree.WriteVmFile("\n");
    const long megabytes = 512;
    const std::string count = std::to_string(megabytes * 1024 * 1024);
    for (int round = 0; round < 3; ++round) {
        auto start = std::chrono::steady_clock::now();
        auto result = tree.RunShell("\"$0\" \"$@\" <\"$IN\" 2>\"$ERR\" | wc -c >\"$OUT\"",
                                    {"head", "-c", count, "/dev/zero"}, "", {});
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bool whole = std::stol(result.out) == std::stol(count);
        std::printf("relay %ld MB in %.3f s: %.0f MB/s%s\n", megabytes, seconds, megabytes / seconds,
                    whole ? "" : " (bytes lost!)");
    }
    return 0;
}
