#pragma once
// The dial-up link over Remote Access, for sessions that read the system's records
// (UseSystemRecords()). Messages and results as for the functions of dialup_link.h that call these.
#include <string>

#include "debuglink/dialup_link.h"

// The system's text for a dial-up error; false when it has none (*lookupResult: the lookup's own
// result).
bool SystemDialErrorText(int error, std::string& text, int* lookupResult);

// Dials; 0 and a connection, or the RAS error number.
int SystemDial(const std::string& entryName, const std::string& phoneNumber,
               RasConnectionState& connection);

bool SystemIsRasEntryConnected(const std::string& entryName);

// The hang-up result (0, 668 or another error), and a probe of whether the link is gone.
int SystemHangUp(const RasConnectionState& connection);
bool SystemLinkGone(const RasConnectionState& connection);

// WaitForDebugSessionEnd over the system's disconnection notice.
bool SystemWaitForDebugSessionEnd(const RasConnectionState& connection, platform::Process& agent,
                                  platform::Clock& clock);
