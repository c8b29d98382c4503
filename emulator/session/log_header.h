#pragma once
#include <string>

// Sets LogEnabled when an argument is exactly "-emulog" and writes the log header; with fewer
// than two arguments prints the usage text and ends the process through CleanUp.
void WriteLogHeader(int argc, char** argv);

// The process's command line as one text: the arguments joined by blanks, each quoted the way
// the platform's command-line splitting gives it back.
std::string ProcessCommandLine(int argc, char** argv);
