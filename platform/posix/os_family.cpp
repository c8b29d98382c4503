#include "platform/os_family.h"

namespace platform {

OsFamily HostOsFamily() { return OsFamily::Posix; }

} // namespace platform
