#pragma once
// The module's flash file system as the session driver sees it: four synchronous calls, each
// reporting only success or failure. Messages go to the session log.
#include <cstdint>
#include <string>

// Initialises file access on the module's port at the given baud rate (a full deinit first when
// already initialised). An empty port name returns false. No data is exchanged yet.
bool InitFileAccess(const std::string& portName, uint32_t baudRate);

// Uploads a local file to the module's first drive under its own name and extension
// ("A:\" + name + extension). False when not initialised, the file cannot be read or the module
// refuses it.
bool UploadFile(const std::string& localPath);

// Sends a local file to the given module path.
bool SendFile(const std::string& modulePath, const std::string& localPath);

// Deletes a module file ("A:\name.ext"); false when not initialised or the module refuses.
bool DeleteModuleFile(const std::string& modulePath);

// Ends file access; the port is closed. Nothing happens when not initialised.
void DeinitFileAccess();
