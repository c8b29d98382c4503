#pragma once
// The manifest of a JAR file, extracted with the JDK's jar tool.
#include <string>

// The text of META-INF/MANIFEST.MF of the JAR, or empty text when there is no JDK, the file is
// not a JAR or the tool does not finish within 10 seconds. The tool runs hidden: nothing it
// prints reaches the emulator's output.
std::string ReadJarManifest(const std::string& jarPath);
