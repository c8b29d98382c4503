// A JAR's manifest, extracted by the JDK's jar tool into a private folder of the temporary folder.
#include "session/jar_manifest.h"

#include <atomic>
#include <filesystem>

#include "debuglink/java_tools.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/process.h"
#include "session/descriptor.h"
#include "core/path_helpers.h"

namespace fs = std::filesystem;

namespace {

const char ManifestEntry[] = "META-INF/MANIFEST.MF";
constexpr int JarToolTimeoutMs = 10000;

// Each extraction gets a folder of its own: two emulators reading manifests at the same time
// must not read or delete each other's files, and a folder of that name that was already in the
// temporary folder must stay untouched.
std::string MakeExtractionFolder(const std::string& temporaryFolder) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path folder = fs::path(temporaryFolder) /
                          ("modlink-manifest-" + std::to_string(platform::CurrentProcessId()) + "-" +
                           std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(folder, ec) && !ec) {
            return folder.string();
        }
    }
    return std::string();
}

} // namespace

std::string ReadJarManifest(const std::string& jarPath) {
    const std::string temporaryFolder = platform::TempFolder();
    if (temporaryFolder.empty() || jarPath.empty()) {
        return std::string();
    }
    const std::string java = FindJavaExe();
    if (java.empty()) {
        return std::string();
    }
    // The tool runs in the extraction folder, so a relative JAR path is made absolute first.
    std::error_code ec;
    const std::string jar = fs::absolute(jarPath, ec).string();
    if (ec) {
        return std::string();
    }
    const std::string folder = MakeExtractionFolder(temporaryFolder);
    if (folder.empty()) {
        return std::string();
    }

    platform::ProcessOptions options;
    options.arguments = {FolderOfPath(java) + "jar", "xf", jar, ManifestEntry};
    options.workingFolder = folder;
    options.output = platform::ChildOutput::Discard; // nothing the tool prints reaches our output
    options.inheritInput = false;
    int error = 0;
    auto tool = platform::Process::Start(options, &error);
    std::string manifest;
    if (tool) {
        int exitCode = 0;
        if (tool->Wait(JarToolTimeoutMs, &exitCode)) {
            manifest = ReadWholeFile((fs::path(folder) / "META-INF" / "MANIFEST.MF").string());
        } else {
            tool->Terminate(1);
            tool->Wait(-1, &exitCode);
        }
    }
    DeleteFolderTree(folder);
    return manifest;
}
