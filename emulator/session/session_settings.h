#pragma once
// The session's settings from the dial-up entry, the command line and the toolkit's INI file.
#include <string>

// One value of section Debug of IniFilePath, or defaultValue when it is missing.
std::string ReadIniText(const std::string& key, const std::string& defaultValue);

// Fills the port, the UDP port, the INI values, the debug server port, the module file names of
// the JAR and JAD and the agent delay. False (after printing why) when the session cannot go on.
bool LoadSessionSettings();

// The debug server address as the agent uses it: the text after the first ":" when there is one.
std::string ServerPortOfAddress(const std::string& address);

// The largest DebugAgentDelay used; larger values mean no delay.
inline constexpr unsigned int MaxAgentDelayMs = 120000;
