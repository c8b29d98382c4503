#pragma once
// The few things in which the launcher differs between Windows and POSIX: separators, program
// names, the built-in command template and how the update log is laid out. Both sets are always
// compiled so that the Windows rules can be tested on any machine; HostConventions() picks the
// one for the system the launcher runs on.
#include <cstddef>
#include <string_view>

namespace launcher {

struct LauncherConventions {
    char pathSeparator;              // joins the launcher's own paths
    char pathListSeparator;          // separates the entries of PATH
    bool environmentNamesIgnoreCase; // "Path" is PATH on Windows, another variable on POSIX
    std::string_view executableSuffix; // removed from the executable's name for the VM file
    std::string_view programSuffix;    // tried after a program path without an extension
    std::string_view javaProgram;      // value of %JAVA% without a Java directory
    std::string_view javawProgram;     // value of %JAVAW% without a Java directory
    std::string_view packageTool;      // the SDK's package tool, relative to the SDK home
    std::string_view builtInTemplate;  // string 100: the command used without a VM file
    std::string_view lineEnd;          // line end of the update log
    unsigned updateLingerMs;           // how long the finished update log stays on screen
    size_t baseDirLimit;               // longest SDK home path the launcher accepts
};

const LauncherConventions& WindowsConventions();
const LauncherConventions& PosixConventions();
const LauncherConventions& HostConventions();

// Ids of the launcher's string table (Windows resources) that the launcher reads.
inline constexpr unsigned kTemplateStringId = 100;
inline constexpr unsigned kMarkerTitleStringId = 203;

// Texts of the launcher's string table that are the same everywhere.
inline constexpr std::string_view kProductTitle = "VRTX 3.2 Device Manager";    // string 200
inline constexpr std::string_view kStartedText = "Device Manager started";      // string 201
inline constexpr std::string_view kStoppedText = "Device Manager stopped";      // string 202
inline constexpr std::string_view kMarkerTitle = "Pinewood_SDK_DeviceManager";  // string 203

// The Windows command template exactly as the toolkit ships it, and its POSIX form: every
// backslash a slash, the class path joined by ':' (nothing else differs).
extern const std::string_view kWindowsBuiltInTemplate;
extern const std::string_view kPosixBuiltInTemplate;

} // namespace launcher
