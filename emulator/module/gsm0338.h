#pragma once
// File names in the module's character set, the GSM 03.38 default alphabet.
#include <string>

// Converts text (single bytes read as ISO 8859-1, up to its first zero byte) into GSM 03.38 bytes.
// The output is emptied first. Characters of the extension table become the escape 0x1B and their
// code. False at the first character not in the tables (after logging it); the output then holds
// the bytes converted so far.
bool EncodeGsm0338(const std::string& input, std::string& output);
