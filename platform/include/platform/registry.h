#pragma once
// The registry as the toolkit's Java side reaches it: predefined roots, keys opened with an
// access mask, typed values. The calls, results and error numbers are those of the Windows
// registry functions, so the Windows build passes them straight to advapi32 and the POSIX build
// answers them from its own store (registry_store.h) with the same rules.
//
// Names and paths are zero-terminated UTF-16; a null pointer means "no string": the key itself
// for a path or a subkey name, the unnamed default value for a value name. Paths separate key
// names with a backslash.
#include <cstdint>
#include <memory>

namespace platform::registry {

// Error numbers as the Windows registry functions return them.
using Status = std::uint32_t;
inline constexpr Status kSuccess = 0;
inline constexpr Status kErrorFileNotFound = 2;   // no such key or value
inline constexpr Status kErrorAccessDenied = 5;   // mask lacks a right, read-only store, protected key
inline constexpr Status kErrorInvalidHandle = 6;  // no such root
inline constexpr Status kErrorOutOfMemory = 14;
inline constexpr Status kErrorDiskFull = 112;
inline constexpr Status kErrorInvalidParameter = 87; // name too long, value too large, bad argument
inline constexpr Status kErrorBadPathname = 161;     // empty key name inside a path
inline constexpr Status kErrorBusy = 170;            // the store stayed locked past its time-out
inline constexpr Status kErrorMoreData = 234;        // the caller's buffer is too small
inline constexpr Status kErrorNoMoreItems = 259;     // enumeration index past the end
inline constexpr Status kErrorBadDb = 1009;          // the store file is not a valid store
inline constexpr Status kErrorIoFailed = 1016;       // the store file could not be read or written
inline constexpr Status kErrorKeyDeleted = 1018;     // the open key was deleted meanwhile

// The predefined keys, numbered as the Java side numbers them.
enum class Root : int {
    ClassesRoot = 0,
    CurrentUser = 1,
    LocalMachine = 2,
    Users = 3,
    CurrentConfig = 4,
    DynData = 5,
    PerformanceData = 6,
};
inline constexpr int kRootCount = 7;

// Access rights and view flags.
using AccessMask = std::uint32_t;
inline constexpr AccessMask kKeyQueryValue = 0x0001;
inline constexpr AccessMask kKeySetValue = 0x0002;
inline constexpr AccessMask kKeyCreateSubKey = 0x0004;
inline constexpr AccessMask kKeyEnumerateSubKeys = 0x0008;
inline constexpr AccessMask kKeyNotify = 0x0010;
inline constexpr AccessMask kKeyCreateLink = 0x0020;
inline constexpr AccessMask kDelete = 0x10000;
inline constexpr AccessMask kReadControl = 0x20000;
inline constexpr AccessMask kWriteDac = 0x40000;
inline constexpr AccessMask kWriteOwner = 0x80000;
inline constexpr AccessMask kKeyRead = 0x20019;
inline constexpr AccessMask kKeyWrite = 0x20006;
inline constexpr AccessMask kKeyAllAccess = 0xF003F;
inline constexpr AccessMask kKeyWow64_64Key = 0x0100; // the 64-bit view
inline constexpr AccessMask kKeyWow64_32Key = 0x0200; // the 32-bit view
// Rights that change the registry; a store that cannot be written refuses them.
inline constexpr AccessMask kModifyingRights =
    kKeySetValue | kKeyCreateSubKey | kKeyCreateLink | kDelete | kWriteDac | kWriteOwner;

// Value types (registry numbering). A value keeps whatever type it was written with.
using ValueType = std::uint32_t;
inline constexpr ValueType kRegNone = 0;
inline constexpr ValueType kRegSz = 1;
inline constexpr ValueType kRegExpandSz = 2;
inline constexpr ValueType kRegBinary = 3;
inline constexpr ValueType kRegDword = 4;
inline constexpr ValueType kRegDwordBigEndian = 5;
inline constexpr ValueType kRegMultiSz = 7;

// Longest key name (one path element) and value name, in UTF-16 code units.
inline constexpr std::uint32_t kMaxKeyNameLength = 255;
inline constexpr std::uint32_t kMaxValueNameLength = 16383;

// An open key. Destroying it closes the key; each implementation derives its own.
class OpenKey {
public:
    virtual ~OpenKey() = default;
};
using KeyPtr = std::unique_ptr<OpenKey>;

class Registry {
public:
    virtual ~Registry() = default;

    // Opens root\path with the rights in access (plus at most one view flag).
    virtual Status Open(Root root, const char16_t* path, AccessMask access, KeyPtr& key) = 0;

    // Creates parent\subKey (every missing key on the way), or opens it when it exists. The
    // parent must be open with kKeyCreateSubKey. *created (optional) tells which happened.
    virtual Status Create(const OpenKey& parent, const char16_t* subKey, AccessMask access, KeyPtr& key,
                          bool* created) = 0;

    // Deletes parent\subKey, which must have no subkeys; its values go with it. Delete uses the
    // default view, DeleteInView the view of viewFlag. HasDeleteInView is false on systems that
    // lack the view-aware call.
    virtual Status Delete(const OpenKey& parent, const char16_t* subKey) = 0;
    virtual bool HasDeleteInView() = 0;
    virtual Status DeleteInView(const OpenKey& parent, const char16_t* subKey, AccessMask viewFlag) = 0;

    // Numbers of direct subkeys and values (either pointer may be null).
    virtual Status QueryInfo(const OpenKey& key, std::uint32_t* subKeys, std::uint32_t* values) = 0;

    // The name of the subkey (in name order) or value (in order of creation) at index.
    // *length is the buffer's size in code units, terminator included, and receives the name's
    // length without it. kErrorMoreData when the buffer is too small, kErrorNoMoreItems past the end.
    virtual Status EnumKey(const OpenKey& key, std::uint32_t index, char16_t* name, std::uint32_t* length) = 0;
    virtual Status EnumValue(const OpenKey& key, std::uint32_t index, char16_t* name, std::uint32_t* length) = 0;

    // Reads a value: *type (optional) receives its type; with data null only *size is set, else
    // *size is the buffer's size and receives the data's size (kErrorMoreData when too small).
    virtual Status QueryValue(const OpenKey& key, const char16_t* name, ValueType* type, std::uint8_t* data,
                              std::uint32_t* size) = 0;
    // Writes a value of any type, creating or replacing it.
    virtual Status SetValue(const OpenKey& key, const char16_t* name, ValueType type, const std::uint8_t* data,
                            std::uint32_t size) = 0;
    virtual Status DeleteValue(const OpenKey& key, const char16_t* name) = 0;
};

// The registry of this machine and user: advapi32 on Windows, the store of registry_store.h
// (in the folder it names) on POSIX.
Registry& SystemRegistry();

// True when this process is a 32-bit program on a 64-bit Windows; always false elsewhere.
bool IsWow64Process();

} // namespace platform::registry
