#include "auto_update.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../../utils/src/fatal_error.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/standard_streams.h"

namespace launcher {

namespace {

void Show(std::string_view text) { platform::WriteStandardOutput(text.data(), text.size()); }

// Runs one package tool command with its output shown as it comes.
void RunUpdateCommand(const std::string& command) {
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
        Show(std::string_view(buffer, static_cast<size_t>(got)));
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
    Show("Going to AutoUpdate Pinewood SDK, this can last a few minutes" + end + end);
    for (const auto& line : UpdateCommandLines(text)) {
        std::string command = PackageToolCommand(paths, conventions, line);
        Show(command + end);
        RunUpdateCommand(command);
        Show(end + "Done." + end + end);
    }
    if (conventions.updateLingerMs > 0) {
        platform::SystemClock().Sleep(conventions.updateLingerMs);
    }
    std::filesystem::remove(paths.updateList, ec);
}

} // namespace launcher
