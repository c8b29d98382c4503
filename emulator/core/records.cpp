// The one instance of each session record and of the module identity.
#include "core/records.h"

ApplicationRecord Application;
SessionSettings Settings;
std::string IniFilePath;

std::string RasEntryName;
std::string ModuleFamily;
std::string VersionName = "Brelmont IMP-NG Module Workbench";
std::string QueryDeviceName = "IMP_NG_DefaultDevice";
std::string DeviceDescription = "Brelmont IMP-NG Default Device";
int SelectedDevice = -1;
