#pragma once
// Getting the module ready on its port before a session: switched on, the baud rate agreed
// with the PC side and the module family identified (NewModuleFamily, ModuleFolder).

// True when the module is on and has accepted the baud rate command. Uses Settings.ComPortName
// and Settings.ComBaudRate; the port is closed again before it returns.
bool PrepareModulePort();
