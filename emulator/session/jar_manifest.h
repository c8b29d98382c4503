#pragma once
// The manifest of a JAR file, read straight from the archive.
#include <cstddef>
#include <string>

// The largest manifest read; a bigger one is taken for a damaged or hostile file.
constexpr std::size_t MaxManifestSize = 1u << 20;

// The bytes of META-INF/MANIFEST.MF in the JAR, as the JDK's jar tool would extract them, or
// empty text when the file cannot be read, is no zip archive, is damaged, has no manifest or a
// manifest larger than MaxManifestSize. Each empty answer for a file that has one is logged.
std::string ReadJarManifest(const std::string& jarPath);
