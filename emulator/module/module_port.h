#pragma once
// Getting the module ready on its port before a session: switched on, the baud rate agreed
// with the PC side and the module family identified (NewModuleFamily, ModuleFolder).
#include <cstdint>
#include <string>

#include "module/at_channel.h"

// True when the module signals CTS, after a DTR pulse if it was off. Takes the handle and
// always closes it.
bool SwitchOnModule(ComPortHandle handle);

// Agrees a baud rate with the module (AT+IPR) and identifies its family (ATI). True when a rate
// was agreed; sets Settings.ModuleFolder and Settings.NewModuleFamily for a newer family.
bool ConnectModule(const std::string& portName, uint32_t targetRate);

// True when the module is on and has accepted the baud rate command. Uses Settings.ComPortName
// and Settings.ComBaudRate; the port is closed again before it returns.
bool PrepareModulePort();
