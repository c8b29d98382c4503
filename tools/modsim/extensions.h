#pragma once
// The simulator's extension points. main() calls both before it parses the command line, so an
// extension can register its own options (Simulator::RegisterOption), command handlers
// (Simulator::AddCommandHandler) and disconnect handlers, and reads the configuration and state
// the simulator keeps (Simulator::options(), state(), transcript(), DriveFolder()).
#include "simulator.h"

namespace modsim {

// The OBEX file-system server: answers "AT^KQWE=3" with OK and then owns the byte stream (through
// CommandAnswer::takeOver) until "+++".
void InstallObexServer(Simulator& simulator);

// The debug side: ATD and the direct IP link, the classic debug configuration and the VM start.
void InstallDebugLink(Simulator& simulator);

} // namespace modsim
