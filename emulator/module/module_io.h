#pragma once
// What the module code talks through: the opener of serial devices and the clock of every wait.
// Both default to the real ones; tests install a scripted opener and a FakeClock, so an eight-
// second CTS poll runs instantly and exactly.
#include "platform/clock.h"
#include "platform/serial_device.h"

platform::Clock& ModuleClock();
platform::SerialOpener& ModuleSerialOpener();

// Replaces the opener and the clock (null restores the real one).
void SetModuleIo(platform::SerialOpener* opener, platform::Clock* clock);
