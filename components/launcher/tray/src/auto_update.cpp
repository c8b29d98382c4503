#include "auto_update.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../../utils/src/fatal_error.h"
#include "platform/process.h"
#include "platform/progress_log.h"

namespace launcher {

namespace {

// Title of the update window (Windows); the console has none.
const char kUpdateWindowTitle[] = "Pinewood SDK AutoUpdate";

// Runs one package tool command with its output shown as it comes.
void RunUpdateCommand(const std::string& command, platform::ProgressLog& log) {
    platform::ProcessOptions options;
    options.arguments = platform::SplitCommandLine(command);
    options.output = platform::ChildOutput::Pipe;
    // The tool gets an empty input: nobody is there to answer it.
    options.inheritInput = false;
    int error = 0;
    auto process = platform::Process::Start(options, &error);
    if (!process) {
        throw FatalError("Cannot start the update command " + command + ": " + platform::ErrorText(error));
    }
    char buffer[4096];
    long got;
    while ((got = process->ReadOutput(buffer, sizeof buffer)) > 0) {
        log.Append(std::string(buffer, static_cast<size_t>(got)));
    }
    // The tool's exit status means nothing to the launcher, but the child must be reaped.
    process->Wait(-1, nullptr);
}

} // namespace

std::vector<std::string> UpdateCommandLines(std::string_view updateText) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < updateText.size()) {
        size_t end = updateText.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = updateText.size();
        }
        std::string_view line = updateText.substr(start, end - start);
        if (line.size() > 1 && line.front() != '#') {
            lines.emplace_back(line);
        }
        start = end + 1;
    }
    return lines;
}

std::string PackageToolCommand(const LauncherPaths& paths, const LauncherConventions& conventions,
                               const std::string& line) {
    // The SDK home is quoted when it holds blanks, so that it stays one argument.
    std::string tool = paths.baseDir + conventions.pathSeparator + std::string(conventions.packageTool);
    return platform::QuoteArgument(tool) + " -R " + platform::QuoteArgument(paths.baseDir) + " " + line;
}

void RunPendingUpdate(const LauncherPaths& paths, const LauncherConventions& conventions) {
    std::error_code ec;
    if (!std::filesystem::exists(paths.updateList, ec)) {
        return;
    }
    // The whole list is read: a command cut off at some buffer size would be another command.
    std::string text;
    {
        std::ifstream file(paths.updateList, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    const std::string end(conventions.lineEnd);
    // When no window can be shown the update does not run, but the list goes all the same.
    platform::RunWithProgressLog(kUpdateWindowTitle, conventions.updateLingerMs, [&](platform::ProgressLog& log) {
        log.Append("Going to AutoUpdate Pinewood SDK, this can last a few minutes" + end + end);
        for (const auto& line : UpdateCommandLines(text)) {
            std::string command = PackageToolCommand(paths, conventions, line);
            log.Append(command + end);
            RunUpdateCommand(command, log);
            log.Append(end + "Done." + end + end);
        }
    });
    std::filesystem::remove(paths.updateList, ec);
}

} // namespace launcher
