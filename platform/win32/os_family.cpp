#include "platform/os_family.h"

namespace platform {

OsFamily HostOsFamily() { return OsFamily::Windows; }

} // namespace platform
