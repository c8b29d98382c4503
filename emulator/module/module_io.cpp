#include "module/module_io.h"

namespace {
platform::SerialOpener* installedOpener = nullptr;
platform::Clock* installedClock = nullptr;
} // namespace

platform::Clock& ModuleClock() { return installedClock != nullptr ? *installedClock : platform::SystemClock(); }

platform::SerialOpener& ModuleSerialOpener() {
    return installedOpener != nullptr ? *installedOpener : platform::DefaultSerialOpener();
}

void SetModuleIo(platform::SerialOpener* opener, platform::Clock* clock) {
    installedOpener = opener;
    installedClock = clock;
}
