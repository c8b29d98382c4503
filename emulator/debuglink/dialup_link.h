#pragma once
// The dial-up IP link of a debug session: dialling the installed entry, checking whether it is
// already up, watching it while the debug agent runs, and hanging it up. The session owns the
// connection from a successful dial until CloseRasConnection.
//
// On Windows the link is a RAS connection of the entry, when the session reads the system's
// records (module/system_records.h). Otherwise it is held by a process of its own
// (modlink-linkd, which runs pppd for a PPP link) and found again by the entry's name, so it
// outlives the session that dialled it as a system dial-up connection does. Phone book keys
// beyond the Windows ones (rasphone.pbk in the configuration folder):
//   LinkType=ppp     (default) pppd runs PPP on the port after CONNECT
//   LinkType=direct  the open data connection is the link (a module that offers one: modsim)
//   PppOptions=...   pppd's own options, separated by blanks
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/dialup.h"
#include "platform/process.h"
#include "core/records.h"

// The session's connection: the entry and the process that holds its link.
struct RasConnectionState {
    std::string entryName;
    std::string statePath;
    int holderId = 0;
    std::unique_ptr<platform::Process> holder; // set when this process started the holder
    platform::dialup::Connection systemConnection = nullptr; // a Remote Access connection instead
};

// The entry's phone number, cut to capacity - 1 characters. True when the entry's properties
// could be read.
bool ReadRasEntryPhoneNumber(const std::string& entryName, std::string& phoneNumber,
                             std::size_t capacity = 129);

// Dials the entry and waits until the link is up or has failed. Null on failure, after
// printing why.
RasConnectionHandle DialRasEntry(const std::string& entryName);

// True when an active connection of that entry (exact name) exists and reports the connected
// state.
bool IsRasEntryConnected(const std::string& entryName);

// Hangs the connection up and waits until it is gone; the handle is released then. A null
// handle returns true at once and logs nothing.
bool CloseRasConnection(RasConnectionHandle connection);

// Waits until the debug agent ends or the link drops, then for the other side to follow. True
// when the session ended in order.
bool WaitForDebugSessionEnd(RasConnectionHandle connection, platform::Process& agent);

// The waiting rule of WaitForDebugSessionEnd over a link probe, for tests with a fake clock.
bool WaitForDebugSessionEndWith(const std::function<bool()>& linkUp, platform::Process& agent,
                                platform::Clock& clock);

// The hang-up rule of CloseRasConnection: hangupResult is 0, 668 (no connection) or another
// error; linkGone reports whether the link has ended. Polls every 100 ms for up to 3000 ms.
bool WaitForLinkClosed(int hangupResult, const std::function<bool()>& linkGone,
                       platform::Clock& clock);

// The program that holds links: MODLINK_LINKD when set, else modlink-linkd next to this program.
std::string LinkHolderProgram();
