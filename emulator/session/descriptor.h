#pragma once
// Application descriptors (JAD files) as the emulator reads them; the lookup of their lines is in
// core/attribute_text.h.
#include <string>

#include "core/attribute_text.h"

// Reads the JAD at jadPath into Application: JarPath, DeployFolder and LibletNames. True when the
// file was read and names a JAR; false after logging (or printing) why not.
bool ReadDescriptor(const std::string& jadPath);

// Removes a folder with everything below it; failures are ignored.
void DeleteFolderTree(const std::string& folder);
