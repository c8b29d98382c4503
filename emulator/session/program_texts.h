#pragma once
// Fixed texts of the emulator that several parts of the session print.

// The program's version, as the IDE and the log see it.
inline constexpr char EmulatorVersion[] = "1.6.4.0";

// The UEI arguments this emulator understands, as reported by -Xquery.
inline constexpr char UeiArguments[] = "Xdescriptor,Xquery,Xdevice,Xdebug,Xrunjdwp,Xverbose";

// The toolkit's configuration file, in its bin folder.
inline constexpr char IniFileName[] = "WM_Debug_config.ini";

inline constexpr char CompanyName[] = "Brelmont";
inline constexpr char ToolkitName[] = "HRZN";

// Prints the usage text (out) with the program name.
void PrintUsage(const char* programName);
