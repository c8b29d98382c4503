#pragma once
// Busy-wait support for the short spin before a blocking wait.
namespace platform {

// Tells the CPU that the caller is spinning (x86 "pause", Arm "yield"): saves power and lets
// a sibling hardware thread run. Does nothing on other CPUs.
void SpinPause();

} // namespace platform
