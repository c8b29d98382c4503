#pragma once
// The proxy in front of the file-system operations: it keeps the list of open OBEX sessions,
// refuses operations while disconnected, caches folder listings for 30 minutes, and ends the
// session after a link failure so the next request starts afresh.
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "obex/iobex2.h"
#include "platform/clock.h"

namespace obex {

inline constexpr uint32_t kFolderCacheLifetimeMs = 1800000;

// Folder listings by folder key (compared without case), most recently used first.
class FolderCache {
public:
    explicit FolderCache(platform::Clock& clock) : clock_(clock) {}
    // The listing of a folder; false on a miss (entries older than the lifetime are dropped).
    bool Lookup(const std::u16string& key, FileList* listing);
    FileList* Find(const std::u16string& key); // no age check, no reordering
    void Store(const std::u16string& key, const FileList& listing);
    void Remove(const std::u16string& key);
    // Removes a folder and every folder below it; the empty key empties the cache.
    void RemoveTree(const std::u16string& folder);
    void Clear() { entries_.clear(); }
    std::size_t Size() const { return entries_.size(); }

private:
    struct Entry {
        std::u16string key;
        uint32_t stored;
        FileList listing;
    };
    platform::Clock& clock_;
    std::list<Entry> entries_;
};

// The folder part of a module path (before its last "\") and the name after it.
std::u16string FolderKey(const std::u16string& path);
std::u16string NamePart(const std::u16string& path);

class ObexConnection : public IObex2 {
public:
    ObexConnection(std::unique_ptr<IObex2> inner, platform::Clock& clock);
    ~ObexConnection() override;

    HRESULT Copy(int session, const std::u16string& destination, const std::u16string& source) override;
    HRESULT CreateFolder(int session, const std::u16string& path) override;
    HRESULT DeleteFile(int session, const std::u16string& path) override;
    HRESULT List(int session, const std::u16string& path, FileList* list) override;
    HRESULT Disconnect(int session, bool keep) override;
    HRESULT CloseTransport() override;
    HRESULT DriveCommand(int session, const std::u16string& path, const std::u16string* argument) override;
    HRESULT QueryText(int session, const std::u16string& path, std::u16string* text, uint8_t selector) override;
    HRESULT QueryValue(int session, const std::u16string& path, uint32_t* value, uint8_t selector) override;
    HRESULT QueryWord(int session, const std::u16string& path, uint32_t value, uint16_t* word) override;
    HRESULT GetFile(int session, const std::u16string& path, IObexStream& sink, uint8_t option) override;
    HRESULT Move(int session, const std::u16string& destination, const std::u16string& source) override;
    HRESULT MoveFolder(int session, const std::u16string& destination, const std::u16string& source) override;
    HRESULT PutFile(int session, const std::u16string& path, std::shared_ptr<IStream> stream, uint32_t size,
                    uint32_t attributes, double created, double accessed, double modified) override;
    HRESULT DeleteFolder(int session, const std::u16string& path) override;
    HRESULT SetText(int session, const std::u16string& path, const std::u16string& text, uint8_t selector) override;
    HRESULT SetAttributes(int session, const std::u16string& path, uint32_t attributes) override;
    HRESULT SetTimes(int session, const std::u16string& path, double created, double accessed, double modified) override;
    HRESULT OpenPort(const std::string& portName, uint32_t baudRate) override;
    HRESULT Connect(int* session, bool irmc) override;
    HRESULT Attach(ITransportLayer* transport) override;
    HRESULT GetModel(std::string* text, std::size_t size) override;
    HRESULT GetDriveCount(int* count) override;

    bool IsConnected() const;
    int CurrentSession() const;
    HRESULT LastError() const { return lastError_; }
    FolderCache& Cache() { return cache_; }

private:
    // After a forwarded call: a link failure empties the cache and ends the session.
    HRESULT Checked(HRESULT hr);
    HRESULT DeleteEntry(int session, const std::u16string& path, bool folder);
    HRESULT FolderListing(int session, const std::u16string& folderPath, FileList* list);
    bool IsRootFolder(const std::u16string& key);
    void UpdateCachedEntry(const std::u16string& path, const FileEntry& entry);

    std::unique_ptr<IObex2> inner_;
    mutable std::mutex sessionMutex_; // the facade thread asks whether we are connected
    std::vector<int> sessions_;
    FolderCache cache_;
    bool open_ = false;
    HRESULT lastError_ = kLinkFailure;
};

} // namespace obex
