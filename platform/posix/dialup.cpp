// POSIX has no system dial-up service: the toolkit's phone book and link holder stand in for it,
// above this layer.
#include "platform/dialup.h"

namespace platform::dialup {

bool Available() {
    return false;
}
int ReadEntryProperties(const std::string&, EntryProperties*) {
    return kNotAvailable;
}
int ListEntries(std::vector<Entry>*) {
    return kNotAvailable;
}
int Dial(const std::string&, const std::string&, Connection* connection) {
    *connection = nullptr;
    return kNotAvailable;
}
int HangUp(Connection) {
    return kNotAvailable;
}
int GetStatus(Connection, ConnectionStatus*) {
    return kNotAvailable;
}
int ListActiveConnections(std::vector<ActiveConnection>*) {
    return kNotAvailable;
}
bool ErrorText(int, std::string*, int* lookupResult) {
    *lookupResult = kNotAvailable;
    return false;
}
std::unique_ptr<DropWatch> WatchForDrop(Connection, int* error) {
    *error = kNotAvailable;
    return nullptr;
}

} // namespace platform::dialup
