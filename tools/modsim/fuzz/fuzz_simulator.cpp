#include "fuzz_simulator.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include <filesystem>

#include "extensions.h"
#include "platform/env.h"

namespace modsimfuzz {

namespace {

// Removes the flash folders when the harness ends.
struct FlashFolders {
    std::vector<std::filesystem::path> paths;
    ~FlashFolders() {
        for (const auto& path : paths) {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    }
};

} // namespace

std::unique_ptr<modsim::Simulator> MakeSimulator(const std::string& flashName) {
    const auto flash = std::filesystem::temp_directory_path() /
                       ("modsim-fuzz-" + flashName + "-" + std::to_string(platform::CurrentProcessId()));
    static FlashFolders folders;
    if (std::find(folders.paths.begin(), folders.paths.end(), flash) == folders.paths.end()) {
        folders.paths.push_back(flash);
    }
    std::error_code ignored;
    std::filesystem::remove_all(flash, ignored);
    auto simulator = std::make_unique<modsim::Simulator>();
    modsim::InstallObexServer(*simulator);
    modsim::InstallDebugLink(*simulator);
    std::string error;
    // A small flash keeps what a run may write small.
    if (!simulator->ParseArguments({"--listen", "127.0.0.1:0", "--flash", flash.string(), "--drives", "2",
                                    "--flash-limit", "65536"},
                                   &error) ||
        !simulator->Prepare(&error)) {
        __builtin_trap();
    }
    return simulator;
}

long MemoryChannel::Read(void* buffer, std::size_t size, uint32_t) {
    if (input_.empty()) {
        return -1;
    }
    std::size_t count = std::min({input_.size(), size, piece_});
    std::memcpy(buffer, input_.data(), count);
    input_.erase(0, count);
    return static_cast<long>(count);
}

} // namespace modsimfuzz
