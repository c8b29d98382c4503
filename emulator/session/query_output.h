#pragma once
// The answers to -version and -Xquery, built from the module identity and the JARs in the
// toolkit's lib folder.
#include <string>
#include <vector>

// The API lists the lib folder's JARs declare, each joined with ",".
struct LibraryApis {
    std::string profiles;
    std::string configurations;
    std::string optionals;
};

// Adds the API a manifest declares (its type, name and version attributes) to its list.
// Manifests without a known type add nothing.
void AddManifestApi(const std::string& manifest, LibraryApis& apis);

// Reads the manifest of every file (not folder) of ToolkitRoot's lib folder, in listing order.
LibraryApis ScanLibraryApis();

// The boot class path: ToolkitRoot with "/" separators + "/lib/" + name for every file of the
// lib folder, joined with ",". Empty for an empty or missing folder.
std::string BootClassPath();

// Write the answers (out).
void PrintVersion();
void PrintQuery();
