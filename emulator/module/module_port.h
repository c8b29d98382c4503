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
// was agreed; sets Settings.ModuleFolder and Settings.NewModuleFamily for a newer family. The
// rate the module was told to use (the target, cut to the port's maximum) goes to *agreedRate
// when it is not null.
bool ConnectModule(const std::string& portName, uint32_t targetRate, uint32_t* agreedRate = nullptr);

// True when the module is on and has accepted the baud rate command. Uses Settings.ComPortName
// and Settings.ComBaudRate; the port is closed again before it returns. When the port's maximum
// was below ComBaudRate, ComBaudRate becomes the rate agreed with the module, so the later
// operations open the port at the rate the module now uses.
bool PrepareModulePort();
