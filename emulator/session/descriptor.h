#pragma once
// Application descriptors (JAD files) as the emulator reads them. The same key-and-value lookup
// serves JAR manifests and the toolkit's device files.
#include <string>

// The value of the first line of text whose trimmed part before the first separator equals key
// exactly; the value is the trimmed text after that separator. Lines end at any run of carriage
// returns and line feeds; the text ends at its first zero byte. Missing key, or an empty
// separator: empty text.
std::string GetAttributeValue(const std::string& text, const std::string& key,
                              const std::string& separator);

// The whole content of a file as bytes; empty text when it cannot be opened or read (the OS error
// code is then available from LastReadError()).
std::string ReadWholeFile(const std::string& path);

// The OS error code of the last ReadWholeFile that failed on this thread; 0 after a success or
// when the file was empty.
int LastReadError();

// Reads the JAD at jadPath into Application: JarPath, DeployFolder and LibletNames. True when the
// file was read and names a JAR; false after logging (or printing) why not.
bool ReadDescriptor(const std::string& jadPath);

// Removes a folder with everything below it; failures are ignored.
void DeleteFolderTree(const std::string& folder);
