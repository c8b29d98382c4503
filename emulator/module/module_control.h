#pragma once
// The AT commands that start the program in the module, configure its debug interface in the
// two command dialects, and restart it. Each call opens the port, talks and closes it again.

// Starts the uploaded program; true when the start command was answered with success.
bool StartModuleProgram();

// Configures the debug interface with the classic commands (the emulator's own debug session);
// true when every command was accepted.
bool InitModuleDebugClassic();

// Configures the debug interface of the newer module families (hand-over to the SDK's
// emulator); true when the command was accepted.
bool InitModuleDebugNew();

// Restarts the module; used after a failed hand-over.
void ResetModule();
