#pragma once
// The registry store that stands in for the Windows registry on POSIX systems: one SQLite file
// shared by every process of the user, with the registry's rules (see registry.h).
//
// Where it lives: the folder named by MODLINK_REGISTRY_DIR when that is set; otherwise
// $XDG_DATA_HOME/modlink, or ~/.local/share/modlink. The file in it is "registry.db", created
// readable and writable by its owner only. Making the file read-only (no owner write bit) makes
// the store refuse every change with kErrorAccessDenied, for any user including root.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/registry.h"

namespace platform::registry {

inline constexpr const char* kRegistryFolderVariable = "MODLINK_REGISTRY_DIR";
inline constexpr const char* kRegistryFileName = "registry.db";

// Largest value the store accepts, in bytes; larger writes fail with kErrorInvalidParameter.
inline constexpr std::uint32_t kMaxValueSize = 16u * 1024u * 1024u;

struct StoreOptions {
    std::string folder;              // the store's folder; created (owner only) when missing
    std::uint32_t busyTimeoutMs = 10000; // how long a call waits for another process's lock
};

// The folder the system registry uses now (from the environment, see above).
std::string DefaultRegistryFolder();

// Opens (creating when needed) the store in options.folder. The store is safe to use from any
// number of threads; keys opened from it keep it alive. On failure returns null and sets *status.
std::shared_ptr<Registry> OpenRegistryStore(const StoreOptions& options, Status* status);

// Runs the store file's own consistency check; true when it finds nothing wrong.
bool CheckRegistryStore(const std::string& folder, std::string* report);

} // namespace platform::registry
