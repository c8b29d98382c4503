#pragma once
// The emulator's exit codes. A session ends through CleanUp with one of them, and the process
// exit status is the negated code. Each failure point has a code of its own, so a status (or the
// log's "CleanUp(): Given iExitCode" line) tells exactly which step failed.
//
// One line per code: its name, its value and its cause. The user documentation's table of exit
// statuses (docs/session.md) lists the same rows; a test holds the two together.
#define EMULATOR_EXIT_CODES(row)                                                                   \
    row(Success, 0, "answered query, usage, invalid argument, finished session, finished hand-over") \
    row(NoJarDeclared, 496, "no JAR declared")                                                     \
    row(ApplicationFileMissing, 502, "JAD or JAR missing on the PC")                               \
    row(FileAccessFailed, 508, "module file access could not be opened")                           \
    row(ApplicationUploadFailed, 513, "upload of the JAD or JAR failed")                           \
    row(LibletFileMissing, 524, "LIBlet JAD or JAR missing on the PC")                             \
    row(LibletUploadFailed, 528, "upload of a LIBlet failed")                                      \
    row(ToolkitRootNotFound, 628, "toolkit root not found")                                        \
    row(AddressWithoutValue, 817, "`-Xrunjdwp` `address=` without a value")                        \
    row(UnknownRunJdwpItem, 834, "unknown `-Xrunjdwp` item")                                       \
    row(DescriptorUnusable, 873, "JAD unreadable or without `MIDlet-Jar-URL`")                     \
    row(UnknownDevice, 890, "`-Xdevice:` names no known device")                                   \
    row(ClasspathWithoutValue, 938, "`-classpath` without a value")                                \
    row(ExternalEmulatorFailed, 1793, "the external emulator could not be started")                \
    row(IniFileMissing, 1871, "`WM_Debug_config.ini` missing")                                     \
    row(NoApplicationGiven, 1891, "neither a JAD nor `-classpath` given")                          \
    row(SessionSettingsFailed, 1895,                                                               \
        "port settings, file names (\".jar\"/\".jad\", GSM 03.38) could not be settled")           \
    row(ModuleNotReachable, 1903, "module not reachable on its port")                              \
    row(ProgramStartRefused, 1917, "program start refused by the module")                          \
    row(DebugServerMissing, 1926, "`-Xdebug` without a debug server address")                      \
    row(DebugConfigurationFailed, 1931, "debug configuration of the module failed")                \
    row(DialUpFailed, 1938, "dial-up link failed")                                                 \
    row(DebugAgentFailed, 1953, "debug agent could not be started")                                \
    row(DebugLinkLost, 1961, "debug link lost during the session")

namespace ExitCode {
#define EMULATOR_EXIT_CODE_CONSTANT(name, code, cause) inline constexpr int name = code;
EMULATOR_EXIT_CODES(EMULATOR_EXIT_CODE_CONSTANT)
#undef EMULATOR_EXIT_CODE_CONSTANT
} // namespace ExitCode

struct ExitCodeRow {
    const char* name;
    int code;
    const char* cause;
};

inline constexpr ExitCodeRow ExitCodeTable[] = {
#define EMULATOR_EXIT_CODE_ROW(name, code, cause) {#name, code, cause},
    EMULATOR_EXIT_CODES(EMULATOR_EXIT_CODE_ROW)
#undef EMULATOR_EXIT_CODE_ROW
};
