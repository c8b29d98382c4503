// A stand-in for "taskkill /F /T /IM <image>" in the Windows tests: Wine's own taskkill refuses
// /T. It ends every process of that image (compared without case) and, with /T, every process
// below them, appends its arguments to the file named by MODLINK_TASKKILL_LOG, and exits with 0,
// or 128 when no process had that image (as taskkill does).
#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/process_control.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

int main(int argc, char** argv) {
    std::string image;
    bool tree = false;
    std::string logged;
    for (int k = 1; k < argc; ++k) {
        const std::string argument = argv[k];
        logged += (k > 1 ? " " : "") + argument;
        if (Lower(argument) == "/t") tree = true;
        if (Lower(argument) == "/im" && k + 1 < argc) image = Lower(argv[k + 1]);
    }
    if (auto log = platform::GetEnv("MODLINK_TASKKILL_LOG")) {
        std::ofstream(*log, std::ios::app) << logged << "\n";
    }
    const auto processes = platform::ListProcesses();
    std::set<int> chosen;
    for (const auto& process : processes) {
        if (Lower(process.imageName) == image && process.id != platform::CurrentProcessId()) chosen.insert(process.id);
    }
    if (chosen.empty()) return 128;
    for (bool grew = tree; grew;) {
        grew = false;
        for (const auto& process : processes) {
            if (chosen.count(process.parentId) != 0 && chosen.insert(process.id).second) grew = true;
        }
    }
    for (int id : chosen) platform::KillProcess(id);
    return 0;
}
