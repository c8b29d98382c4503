#pragma once
// Texts made of lines of a name, a separator and a value: JAD files, JAR manifests, the toolkit's
// device files and query answers all share this lookup.
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
