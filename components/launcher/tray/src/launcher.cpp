#include "launcher.h"

#include <new>

#include "../../utils/src/command_template.h"
#include "../../utils/src/config_files.h"
#include "../../utils/src/fatal_error.h"
#include "../../utils/src/java_environment.h"
#include "../../utils/src/launcher_conventions.h"
#include "../../utils/src/launcher_paths.h"
#include "auto_update.h"
#include "java_relay.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/presence_marker.h"
#include "platform/standard_streams.h"
#include "platform/string_resources.h"

namespace launcher {

namespace {

void ReportFatal(const std::string& message) {
    std::string text = "Fatal Error: " + message;
    platform::WriteStandardError(text.data(), text.size());
}

int Launch(const std::vector<std::string>& arguments) {
    const LauncherConventions& conventions = HostConventions();

    std::string executable = platform::ExecutablePath();
    if (executable.empty() || executable.size() > kExecutablePathLimit) {
        throw FatalError(FormatMessage("Cannot get the exe name. Error code: %d", 0));
    }
    LauncherPaths paths = DeriveLauncherPaths(executable, conventions);
    std::string javaFolder = ReadJavaFolderFile(paths.javaFolderFile, conventions.pathSeparator);
    // Windows programs carry the built-in template in their string table; POSIX ones compiled in.
    const std::string builtInTemplate =
        platform::LoadStringResource(kTemplateStringId).value_or(std::string(conventions.builtInTemplate));
    std::string commandTemplate = ReadCommandTemplate(paths.vmFile, builtInTemplate);

    // The IDE's configured JDK wins over the file beside the launcher.
    std::string configured = ReadConfiguredJdkHome(paths.ideConfiguration);
    if (!configured.empty()) {
        javaFolder = configured;
    }
    auto placeholders = BuildPlaceholders(paths.baseDir, javaFolder, platform::GetEnv("JAVA_HOME"), conventions);
    std::string command = AppendArguments(ExpandTemplate(commandTemplate, placeholders), arguments);

    RunPendingUpdate(paths, conventions);

    auto environment = BuildJavaEnvironment(platform::EnvironmentBlock(), paths.binFolder, conventions);
    platform::AttachParentConsole();
    // Other programs find the running device manager by this marker.
    platform::PresenceMarkerError markerError = platform::PresenceMarkerError::None;
    const std::string markerTitle = platform::LoadStringResource(kMarkerTitleStringId).value_or(std::string(kMarkerTitle));
    auto marker = platform::PresenceMarker::Create(markerTitle, &markerError);
    if (!marker) {
        throw FatalError(markerError == platform::PresenceMarkerError::RegistrationFailed
                             ? "Window registration failed!"
                             : "Window creation failed");
    }
    return RunAndRelay(command, environment);
}

} // namespace

int RunLauncher(const std::vector<std::string>& arguments) {
    try {
        return Launch(arguments);
    } catch (const FatalError& error) {
        ReportFatal(error.what());
    } catch (const std::bad_alloc&) {
        ReportFatal("Out of memory");
    }
    return kFatalExitCode;
}

} // namespace launcher
