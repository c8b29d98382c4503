#pragma once
// The emulator session from start to end, in its fixed order of steps.

// Runs the whole session for this call; every end goes through CleanUp.
[[noreturn]] void RunSession(int argc, char** argv);
