#pragma once
// Which family of operating system this build runs on. Code that must keep a Windows text or
// rule and a POSIX counterpart side by side (a built-in command template, a program name) picks
// one with this instead of an #ifdef, so both variants stay compiled and testable everywhere.
namespace platform {

enum class OsFamily {
    Posix,
    Windows,
};

OsFamily HostOsFamily();

} // namespace platform
