#pragma once
// The record by which a dial-up link is found again. The process holding a link (our link holder,
// which runs pppd for a PPP link) keeps one small file per entry in the link folder; a later
// session finds the link by the entry's name in it, as the system's list of active connections
// would be searched.
//
// The link folder is MODLINK_LINK_DIR when set, else $XDG_RUNTIME_DIR/modlink-links, else
// modlink-links in the temp folder.
#include <string>
#include <vector>

struct LinkState {
    std::string entryName;
    int holderId = 0;         // process id of the link holder
    std::string state;        // "dialling", "connected" or "failed"
    int error = 0;            // RAS error number when failed
    std::string portName;
    std::string linkType;     // "direct" or "ppp"
};

std::string LinkFolder();

// The file of one entry in the link folder (the name made safe for a file name).
std::string LinkStatePath(const std::string& entryName);

// Writes the record whole (through a temporary file and a rename), so a reader never sees half.
bool WriteLinkState(const std::string& path, const LinkState& state);

// Reads a record; false when the file is missing or is not a record.
bool ReadLinkState(const std::string& path, LinkState& state);

// Every record in the link folder, in file name order.
std::vector<LinkState> ListLinkStates();
