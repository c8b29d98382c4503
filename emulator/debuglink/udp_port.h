#pragma once
// Choosing the UDP port on which the module's System.out arrives.
#include <string>

// True when text starts with a decimal number from 1024 to 65535 (the rest is ignored).
bool IsValidUdpPortText(const std::string& text);

// Settles Settings.UdpPortText from the command line value or the UDPport key of the INI file
// (IniFilePath, section Debug). An empty result means no relay.
void SelectUdpPort();
