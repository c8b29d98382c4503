#include "platform/installed_jdk.h"

namespace platform {

std::string RegisteredJdkHome() {
    return std::string();
}

} // namespace platform
