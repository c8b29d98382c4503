// A JAR's manifest, read from the archive itself: no JDK and no child process are needed, and a
// query over a lib folder of many JARs answers in milliseconds.
#include "session/jar_manifest.h"

#include "core/log.h"
#include "core/zip_entry.h"

std::string ReadJarManifest(const std::string& jarPath) {
    std::string why;
    auto source = zip::OpenFileSource(jarPath, &why);
    std::optional<std::string> manifest;
    if (source) {
        manifest = zip::ReadEntry(*source, "META-INF/MANIFEST.MF", MaxManifestSize, &why);
    }
    if (!manifest) {
        LogPrint(LogChannel::Log, "No manifest read from \"%s\": %s\n", jarPath.c_str(), why.c_str());
        return std::string();
    }
    return *manifest;
}
