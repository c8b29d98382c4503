#pragma once
// The system's dial-up networking service: entries of the system phone books, a synchronous dial,
// hang-up, connection status, the list of active connections, a drop notification and the
// system's error texts. On Windows this is Remote Access (rasapi32, loaded at run time so that a
// system without it still runs the toolkit); results are RAS error numbers. POSIX has no such
// service: Available() is false and every call reports kNotAvailable; the toolkit's own phone
// book and link holder take its place above this layer.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::dialup {

constexpr int kSuccess = 0;
constexpr int kErrorInvalidHandle = 6; // the connection is gone
constexpr int kErrorBufferTooSmall = 603;
constexpr int kErrorCannotFindEntry = 623;
constexpr int kErrorNoConnection = 668;
constexpr int kNotAvailable = 711; // the dial-up service cannot be used
constexpr int kStateConnected = 0x2000;

// True when the service can be used (Windows: rasapi32 with every function used here).
bool Available();

struct EntryProperties {
    std::string deviceName;  // the modem's friendly name
    std::string phoneNumber; // the local phone number
};
// Reads an entry of the default phone book.
int ReadEntryProperties(const std::string& entryName, EntryProperties* properties);

struct Entry {
    std::string name;
    std::string phoneBookPath;
};
// Every entry of the system's phone books.
int ListEntries(std::vector<Entry>* entries);

// The system's connection handle; null for none.
using Connection = void*;

// Dials the entry with its own settings (no user name or password) and returns when the link is
// up or has failed. A failed dial leaves no connection behind.
int Dial(const std::string& entryName, const std::string& phoneNumber, Connection* connection);

int HangUp(Connection connection);

struct ConnectionStatus {
    int state = 0; // kStateConnected when up
    int error = 0; // the link's own error, 0 when none
};
// kErrorInvalidHandle once the connection is gone.
int GetStatus(Connection connection, ConnectionStatus* status);

struct ActiveConnection {
    Connection connection = nullptr;
    std::string entryName;
};
int ListActiveConnections(std::vector<ActiveConnection>* connections);

// The system's text for a dial-up error. False when it has none; *lookupResult gets the
// lookup's own result either way.
bool ErrorText(int error, std::string* text, int* lookupResult);

// Tells when a connection has been disconnected.
class DropWatch {
public:
    virtual ~DropWatch() = default;
    // Waits up to waitMs (0: only looks) for the drop; true once it happened, and from then on.
    virtual bool Dropped(uint32_t waitMs) = 0;
};
// Null with *error set when the system cannot watch the connection.
std::unique_ptr<DropWatch> WatchForDrop(Connection connection, int* error);

} // namespace platform::dialup
