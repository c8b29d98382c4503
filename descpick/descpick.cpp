// DescPick <Jad-File> <Property-Name>: prints the value of one attribute of a JAD file, so a build
// script can read, say, the MIDlet name without parsing the file itself.
#include <cstdio>
#include <string>

#include "jad_property.h"
#include "platform/standard_streams.h"

namespace {

const char UsageText[] =
    "Printout a property of a jad file\r\n\r\nUsage:\r\n  DescPut  <Jad-File>  <Property-Name>\r\n\r\n"
    "Jad-File      : Name of the jad file to be queried.\r\n"
    "Property-Name : Name of the property to be queried.\r\n\r\n";

} // namespace

int main(int argc, char** argv) {
    // The texts carry their own "\r\n": written as they are on every OS.
    platform::UseBinaryStandardStreams();
    if (argc != 3) {
        std::fputs(UsageText, stdout);
        return -1;
    }
    std::string content;
    if (!descpick::ReadJadFile(argv[1], content)) {
        std::printf("Error: Failed to read jad file %s\r\n", argv[1]);
        return -2;
    }
    std::string value = descpick::FindProperty(content, argv[2]);
    if (value.empty()) {
        std::printf("Error: Failed to read given property %s\r\n", argv[2]);
        return -2;
    }
    // The value is written as stored: no format interpretation and no line end.
    std::fwrite(value.data(), 1, value.size(), stdout);
    return 0;
}
