#pragma once
// The text transformations of the message function, kept free of I/O so they can be checked
// on their own.
#include <string>

// The console form of a message: CR LF and lone CR become LF; with a prefix, every line that
// begins inside this text starts with the prefix, and the text itself does when the console is
// at a line start. atLineStart is updated to whether the text ended a line.
std::string ConsoleText(const std::string& text, const char* prefix, bool& atLineStart);

// The log file form of a message: every line feed is stored as CR LF. A line feed that already
// follows a carriage return (also one that ended the previous message, lastWasCr) is kept as it
// is, so CR LF text is stored unchanged instead of growing a second CR. lastWasCr is updated.
std::string LogFileText(const std::string& text, bool& lastWasCr);
