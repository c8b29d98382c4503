#include "support/temp_folder.h"

#include <atomic>
#include <system_error>

#include "platform/env.h"
#include "platform/files.h"

namespace regaccess::testing {

TempFolder::TempFolder(const std::string& tag) {
    static std::atomic<int> counter{0};
    path_ = platform::TempFolder() + "regaccess-" + tag + "-" + std::to_string(platform::CurrentProcessId()) + "-" +
            std::to_string(counter++);
    std::error_code error;
    std::filesystem::remove_all(path_, error);
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code error;
    // A test may have left files read-only; give the folder back its write bits first.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(path_, error);
}

} // namespace regaccess::testing
