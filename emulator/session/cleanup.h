#pragma once
// The one way an emulator session ends. The exit status is the negated code (0 stays 0).

[[noreturn]] void CleanUp(bool skipModuleCleanUp, int code);

// The process exit status for a code: -|code| (0 for 0).
int ExitStatusOfCode(int code);
