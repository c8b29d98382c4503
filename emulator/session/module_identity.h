#pragma once
// Which module family the PC is set up for, and the names the IDE sees for it.
#include <string>

// One dial-up entry the toolkit's installer may have made, with its module family.
struct RasCandidate {
    const char* entryName;
    const char* family;
};

// The candidates, in the order they are tried.
extern const RasCandidate RasCandidates[4];

// Sets RasEntryName and ModuleFamily from the first candidate whose dial-up entry can be read.
// True when one was found; both stay empty otherwise.
bool SelectRasEntry();

// Derives VersionName, DeviceDescription and QueryDeviceName from ModuleFamily (the defaults
// stay when it is empty) and logs them. Always true.
bool SetModuleIdentity();
