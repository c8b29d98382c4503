// The child the process tests start. It does what its first argument says and writes through the
// platform's raw standard streams, so its bytes are the same on every OS (no text-mode line ends):
//   args A B ...   prints each further argument as "<length>:<text>\n"
//   out-err        prints "out" to standard output, "err" to standard error, exits with 7
//   exit N         exits with N
//   sleep MS       sleeps, then exits with 0
//   env NAME       prints the variable's value, or "(unset)"
//   cwd            prints the current folder
//   stdin          prints how many bytes standard input held
//   parent         prints the id and image name of its parent, "<id> <name>"
//   watch          waits for an end request, printing "ready" first, then exits with 5
#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "platform/env.h"
#include "platform/process_control.h"
#include "platform/standard_streams.h"

namespace {

void Print(const std::string& text) { platform::WriteStandardOutput(text.data(), text.size()); }

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 100;
    }
    const std::string mode = argv[1];
    if (mode == "args") {
        for (int i = 2; i < argc; ++i) {
            std::string argument = argv[i];
            Print(std::to_string(argument.size()) + ":" + argument + "\n");
        }
        return 0;
    }
    if (mode == "out-err") {
        Print("out");
        platform::WriteStandardError("err", 3);
        return 7;
    }
    if (mode == "exit" && argc == 3) {
        return std::stoi(argv[2]);
    }
    if (mode == "sleep" && argc == 3) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(argv[2])));
        return 0;
    }
    if (mode == "env" && argc == 3) {
        Print(platform::GetEnv(argv[2]).value_or("(unset)"));
        return 0;
    }
    if (mode == "cwd") {
        Print(std::filesystem::current_path().string());
        return 0;
    }
    if (mode == "stdin") {
        std::string all((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
        Print(std::to_string(all.size()));
        return 0;
    }
    if (mode == "parent") {
        auto chain = platform::ParentChain(platform::CurrentProcessId());
        Print(chain.empty() ? std::string("none") : std::to_string(chain[0].id) + " " + chain[0].imageName);
        return 0;
    }
    if (mode == "watch") {
        platform::WatchEndRequests();
        Print("ready");
        while (!platform::EndRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 5;
    }
    return 101;
}
