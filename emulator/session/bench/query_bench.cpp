// Wall time of `emulator -Xquery` and `emulator -version` against toolkits whose lib folder holds
// 1, 20 and 100 JARs, next to the time the JDK's jar tool needs to give the same manifests (the
// way the answers used to be made: one tool process per file, extracting into a folder of its
// own, then reading and removing the file). Both are measured in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/attribute_text.h"
#include "debuglink/java_tools.h"
#include "platform/env.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

const fs::path Built(MODLINK_BINARY_DIR);

struct Figures {
    double median = 0;
    double best = 0;
};

template <typename Call>
Figures Measure(int repetitions, Call call) {
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = Clock::now();
        call();
        times.push_back(Milliseconds(Clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front()};
}

// A toolkit tree whose lib folder holds count JARs, copies of the sample toolkit's API libraries.
fs::path MakeToolkit(const fs::path& work, int count) {
    const fs::path root = work / ("kit" + std::to_string(count));
    fs::create_directories(root / "bin");
    fs::create_directories(root / "lib");
    fs::create_symlink(Built / "bin" / "emulator", root / "bin" / "emulator");
    std::ofstream(root / "bin" / "WM_Debug_config.ini") << "[Debug]\n";
    std::vector<fs::path> samples;
    for (const auto& entry : fs::directory_iterator(Built / "testkit" / "toolkit" / "lib")) {
        if (entry.path().extension() == ".jar") samples.push_back(entry.path());
    }
    std::sort(samples.begin(), samples.end());
    for (int i = 0; i < count; ++i) {
        const fs::path& sample = samples[static_cast<std::size_t>(i) % samples.size()];
        fs::copy_file(sample, root / "lib" / (sample.stem().string() + "-" + std::to_string(i) + ".jar"));
    }
    return root;
}

bool RunEmulator(const fs::path& root, const fs::path& work, const std::string& argument) {
    platform::ProcessOptions options;
    options.arguments = {(root / "bin" / "emulator").string(), argument};
    options.environment = platform::EnvironmentBlock();
    options.environment.erase("MIDP_HOME");
    options.environment["MODLINK_CONFIG_DIR"] = (work / "cfg").string();
    options.environment["MODLINK_SYSFS"] = (work / "sys").string();
    options.environment["TMPDIR"] = (work / "tmp").string();
    options.replaceEnvironment = true;
    options.output = platform::ChildOutput::Discard;
    options.inheritInput = false;
    int error = 0;
    return platform::RunToEnd(options, nullptr, &error) == 0;
}

// The jar tool's way for one file: extract the manifest into a folder of its own, read it, remove
// the folder.
std::string ManifestByJarTool(const std::string& jarTool, const fs::path& jar, const fs::path& scratch) {
    fs::create_directories(scratch);
    platform::ProcessOptions options;
    options.arguments = {jarTool, "xf", jar.string(), "META-INF/MANIFEST.MF"};
    options.workingFolder = scratch.string();
    options.output = platform::ChildOutput::Discard;
    options.inheritInput = false;
    int error = 0;
    std::string manifest;
    if (platform::RunToEnd(options, nullptr, &error) == 0) {
        manifest = ReadWholeFile((scratch / "META-INF" / "MANIFEST.MF").string());
    }
    fs::remove_all(scratch);
    return manifest;
}

} // namespace

int main(int argc, char** argv) {
    // -quick: fewer repetitions, for a first look.
    const bool quick = argc > 1 && std::string(argv[1]) == "-quick";
    std::random_device random;
    const fs::path work = fs::temp_directory_path() / ("query-bench-" + std::to_string(random()));
    for (const char* sub : {"cfg", "sys", "tmp"}) fs::create_directories(work / sub);
    const std::string java = FindJavaExe();
    const std::string jarTool = java.empty() ? std::string() : (fs::path(java).parent_path() / "jar").string();

    std::printf("emulator -Xquery / -version: wall time per call, median (best) of the repetitions\n");
    std::printf("jar tool: the same lib folder's manifests read the old way, one tool process per file\n\n");
    std::printf("%6s  %20s  %20s  %24s\n", "JARs", "-Xquery ms", "-version ms", "jar tool ms (per call)");
    for (int count : {1, 20, 100}) {
        const fs::path root = MakeToolkit(work, count);
        const int repetitions = quick ? 5 : 21;
        bool ok = true;
        const Figures query = Measure(repetitions, [&] { ok = RunEmulator(root, work, "-Xquery") && ok; });
        const Figures version = Measure(repetitions, [&] { ok = RunEmulator(root, work, "-version") && ok; });
        std::string old = "no JDK";
        if (!jarTool.empty()) {
            const int oldRepetitions = count >= 100 || quick ? 1 : 3;
            std::size_t found = 0;
            const Figures jar = Measure(oldRepetitions, [&] {
                for (const auto& entry : fs::directory_iterator(root / "lib")) {
                    found += !GetAttributeValue(ManifestByJarTool(jarTool, entry.path(), work / "x"), "API-Type", ":").empty();
                }
            });
            char text[64];
            std::snprintf(text, sizeof(text), "%.0f%s", jar.median,
                          found == static_cast<std::size_t>(count * oldRepetitions) ? "" : " (manifests missing!)");
            old = text;
        }
        char q[48], v[48];
        std::snprintf(q, sizeof(q), "%.1f (%.1f)", query.median, query.best);
        std::snprintf(v, sizeof(v), "%.1f (%.1f)", version.median, version.best);
        std::printf("%6d  %20s  %20s  %24s%s\n", count, q, v, old.c_str(), ok ? "" : "  (a call FAILED)");
    }
    std::printf("\ngoal: 20 JARs in under 50 ms per call\n");
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
