#pragma once
// Texts made of lines of a name, a separator and a value: JAD files, JAR manifests, the toolkit's
// device files and query answers all share this lookup.
#include <string>
#include <unordered_map>

// The value of the first line of text whose trimmed part before the first separator equals key
// exactly; the value is the trimmed text after that separator. Lines end at any run of carriage
// returns and line feeds; the text ends at its first zero byte. Missing key, or an empty
// separator: empty text.
std::string GetAttributeValue(const std::string& text, const std::string& key,
                              const std::string& separator);

// Every attribute of a text with the value GetAttributeValue gives for it, read in one pass: for
// texts looked up many times (a descriptor with thousands of dependencies), where looking up each
// key from the start would take time that grows with the square of the text.
class AttributeIndex {
public:
    AttributeIndex(const std::string& text, const std::string& separator);
    // The value of the first line with that name; empty text when there is none.
    std::string Value(const std::string& key) const;

private:
    std::unordered_map<std::string, std::string> values_;
};

// The whole content of a file as bytes; empty text when it cannot be opened or read (the OS error
// code is then available from LastReadError()).
std::string ReadWholeFile(const std::string& path);

// The OS error code of the last ReadWholeFile that failed on this thread; 0 after a success or
// when the file was empty.
int LastReadError();
