// The phone book and the modem list as the discovery reads them from the configuration folder:
// the input is the phone book, a line "--", and the modem list.
#include <filesystem>
#include <fstream>

#include "core/private_profile.h"
#include "module/discovery.h"
#include "platform/env.h"
#include "support/fuzz_input.h"

namespace {

// The configuration folder of this run, removed when the harness ends.
struct ConfigFolderOwner {
    std::string path;
    ~ConfigFolderOwner() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

std::string ConfigFolder() {
    static const ConfigFolderOwner folder{[] {
        auto path = std::filesystem::temp_directory_path() / ("modlink-discovery-fuzz-" + std::to_string(platform::CurrentProcessId()));
        std::filesystem::create_directories(path);
        platform::SetEnv("MODLINK_CONFIG_DIR", path.string());
        return path.string();
    }()};
    return folder.path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::Quiet();
    const std::string folder = ConfigFolder();
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t split = text.find("\n--\n");
    std::ofstream(folder + "/rasphone.pbk", std::ios::binary | std::ios::trunc) << text.substr(0, split);
    std::ofstream(folder + "/modems.ini", std::ios::binary | std::ios::trunc)
        << (split == std::string::npos ? std::string() : text.substr(split + 4));
    const auto entries = ReadProfileSectionNames(folder + "/rasphone.pbk");
    for (std::size_t i = 0; i < entries.size() && i < 4; ++i) {
        RasEntryProperties properties;
        if (ReadRasEntryProperties(entries[i], properties)) {
            std::string port;
            (void)FindModemPort(properties.deviceName, port, 64);
            uint32_t speed = 0;
            (void)ReadModemMaxSpeed(properties.deviceName, speed);
        }
        int bps = 0;
        (void)ReadRasEntrySpeed(entries[i], bps);
    }
    (void)DeclaredUsbPorts();
    return 0;
}
