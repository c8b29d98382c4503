// The session-keeping, caching proxy in front of the file-system operations.
#include "obex/obex_connection.h"

#include <algorithm>

#include "obex/obex_com.h"
#include "obex/obex_encoding.h"

namespace obex {

std::u16string FolderKey(const std::u16string& path) {
    std::size_t cut = path.rfind(u'\\');
    if (cut == std::u16string::npos) {
        // "A:name" keeps its drive prefix as its folder.
        return path.size() >= 2 && path[1] == u':' ? path.substr(0, 2) : std::u16string();
    }
    return path.substr(0, cut);
}

std::u16string NamePart(const std::u16string& path) {
    std::size_t cut = path.rfind(u'\\');
    if (cut == std::u16string::npos) {
        return path.size() >= 2 && path[1] == u':' ? path.substr(2) : path;
    }
    return path.substr(cut + 1);
}

// ---- folder cache ----

bool FolderCache::Lookup(const std::u16string& key, FileList* listing) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (!EqualsNoCase(it->key, key)) continue;
        if (clock_.TickCount() - it->stored >= kFolderCacheLifetimeMs) {
            entries_.erase(it);
            return false;
        }
        entries_.splice(entries_.begin(), entries_, it);
        *listing = entries_.front().listing;
        return true;
    }
    return false;
}

FileList* FolderCache::Find(const std::u16string& key) {
    for (auto& e : entries_) {
        if (EqualsNoCase(e.key, key)) return &e.listing;
    }
    return nullptr;
}

void FolderCache::Store(const std::u16string& key, const FileList& listing) {
    Remove(key);
    try {
        entries_.push_front(Entry{key, clock_.TickCount(), listing});
    } catch (const std::bad_alloc&) {
        // Without a copy the folder is simply not cached.
    }
}

void FolderCache::Remove(const std::u16string& key) {
    entries_.remove_if([&](const Entry& e) { return EqualsNoCase(e.key, key); });
}

void FolderCache::RemoveTree(const std::u16string& folder) {
    if (folder.empty()) {
        entries_.clear();
        return;
    }
    std::u16string below = UpperCase(folder) + u"\\";
    entries_.remove_if([&](const Entry& e) {
        return EqualsNoCase(e.key, folder) || UpperCase(e.key).rfind(below, 0) == 0;
    });
}

// ---- proxy ----

ObexConnection::ObexConnection(std::unique_ptr<IObex2> inner, platform::Clock& clock)
    : inner_(std::move(inner)), cache_(clock) {}

ObexConnection::~ObexConnection() { CloseTransport(); }

bool ObexConnection::IsConnected() const {
    std::lock_guard<std::mutex> lock(sessionMutex_);
    return !sessions_.empty();
}

int ObexConnection::CurrentSession() const {
    std::lock_guard<std::mutex> lock(sessionMutex_);
    return sessions_.empty() ? 0 : sessions_.front();
}

HRESULT ObexConnection::Checked(HRESULT hr) {
    if (IsLinkFailure(hr)) {
        cache_.Clear();
        lastError_ = hr;
        Disconnect(CurrentSession(), false);
    }
    return hr;
}

bool ObexConnection::IsRootFolder(const std::u16string& key) {
    if (key.size() <= 1) return true;
    int drives = 0;
    return key.size() == 2 && key[1] == u':' && Succeeded(inner_->GetDriveCount(&drives)) && drives > 1;
}

HRESULT ObexConnection::FolderListing(int session, const std::u16string& folderPath, FileList* list) {
    std::u16string key = FolderKey(folderPath + u"\\*");
    bool telecom = IsTelecomPath(key);
    if (!telecom && cache_.Lookup(key, list)) {
        return list->empty() ? kFalse : kOk;
    }
    FileList fresh;
    HRESULT hr = Checked(inner_->List(session, folderPath + u"\\*", &fresh));
    if (Failed(hr)) return hr;
    cache_.Store(key, fresh);
    *list = std::move(fresh);
    return list->empty() ? kFalse : kOk;
}

HRESULT ObexConnection::List(int session, const std::u16string& path, FileList* list) {
    if (!IsConnected()) return lastError_;
    FileList entries;
    std::u16string key = FolderKey(path);
    HRESULT hr = FolderListing(session, key, &entries);
    if (Failed(hr)) return hr;
    if (path.empty() || path.back() != u'*') {
        std::u16string name = NamePart(path);
        std::erase_if(entries, [&](const FileEntry& e) {
            return !EqualsNoCase(e.name, name) && !(!e.alternativeName.empty() && EqualsNoCase(e.alternativeName, name));
        });
    }
    if (IsRootFolder(key)) {
        std::erase_if(entries, [](const FileEntry& e) { return EqualsNoCase(e.name, u"telecom"); });
    }
    if (list) *list = entries;
    return entries.empty() ? kFalse : kOk;
}

HRESULT ObexConnection::DeleteEntry(int session, const std::u16string& path, bool folder) {
    if (!IsConnected()) return lastError_;
    if (!IsTelecomPath(path)) {
        FileList found;
        HRESULT hr = List(session, path, &found);
        if (hr == kAccessDenied) return kFalse;
        if (Failed(hr)) return hr;
        if (!found.empty() && ((found.front().attributes & kAttrFolder) != 0) != folder) return kAccessDenied;
    }
    HRESULT hr = Checked(folder ? inner_->DeleteFolder(session, path) : inner_->DeleteFile(session, path));
    std::u16string key = FolderKey(path);
    if (FileList* cached = cache_.Find(key)) {
        if (Failed(hr)) {
            cache_.Remove(key);
        } else if (hr == kOk) {
            std::u16string name = NamePart(path);
            auto it = std::find_if(cached->begin(), cached->end(), [&](const FileEntry& e) { return EqualsNoCase(e.name, name); });
            if (it == cached->end()) {
                cache_.Remove(key);
            } else {
                cached->erase(it);
            }
        }
    }
    if (folder && Succeeded(hr)) cache_.RemoveTree(path);
    return hr;
}

HRESULT ObexConnection::DeleteFile(int session, const std::u16string& path) { return DeleteEntry(session, path, false); }
HRESULT ObexConnection::DeleteFolder(int session, const std::u16string& path) { return DeleteEntry(session, path, true); }

void ObexConnection::UpdateCachedEntry(const std::u16string& path, const FileEntry& entry) {
    FileList* cached = cache_.Find(FolderKey(path));
    if (!cached) return;
    auto it = std::find_if(cached->begin(), cached->end(), [&](const FileEntry& e) { return EqualsNoCase(e.name, entry.name); });
    if (it == cached->end()) {
        cached->push_back(entry);
    } else {
        *it = entry;
    }
}

HRESULT ObexConnection::PutFile(int session, const std::u16string& path, std::shared_ptr<IStream> stream, uint32_t size,
                                uint32_t attributes, double created, double accessed, double modified) {
    if (!IsConnected()) return lastError_;
    if (!stream) return kPointer;
    HRESULT hr = stream->Seek(0, static_cast<int>(SeekOrigin::Set), nullptr);
    if (Failed(hr)) return hr;
    hr = Checked(inner_->PutFile(session, path, stream, size, attributes, created, accessed, modified));
    if (Failed(hr)) {
        cache_.Remove(FolderKey(path));
    } else {
        UpdateCachedEntry(path, FileEntry{NamePart(path), u"", size, attributes, created, accessed, modified});
    }
    return hr;
}

HRESULT ObexConnection::Copy(int session, const std::u16string& destination, const std::u16string& source) {
    if (!IsConnected()) return lastError_;
    HRESULT hr = Checked(inner_->Copy(session, destination, source));
    // The destination folder's listing is read again rather than guessed.
    cache_.Remove(FolderKey(destination));
    return hr;
}

HRESULT ObexConnection::Move(int session, const std::u16string& destination, const std::u16string& source) {
    if (!IsConnected()) return lastError_;
    HRESULT hr = Checked(inner_->Move(session, destination, source));
    cache_.Remove(FolderKey(destination));
    cache_.Remove(FolderKey(source));
    return hr;
}

HRESULT ObexConnection::MoveFolder(int session, const std::u16string& destination, const std::u16string& source) {
    if (!IsConnected()) return lastError_;
    HRESULT hr = Checked(inner_->MoveFolder(session, destination, source));
    cache_.Remove(FolderKey(destination));
    cache_.Remove(FolderKey(source));
    cache_.RemoveTree(source);
    return hr;
}

HRESULT ObexConnection::CreateFolder(int session, const std::u16string& path) {
    if (!IsConnected()) return lastError_;
    HRESULT hr = Checked(inner_->CreateFolder(session, path));
    if (Succeeded(hr)) {
        double now = FileTimeToOleDate(static_cast<FileTime>(platform::CurrentUnixTime()) * 10000000ULL + 116444736000000000ULL);
        UpdateCachedEntry(path, FileEntry{NamePart(path), u"", 0, kAttrFolder, now, now, now});
    } else {
        cache_.Remove(FolderKey(path));
    }
    return hr;
}

HRESULT ObexConnection::SetAttributes(int session, const std::u16string& path, uint32_t attributes) {
    if (!IsConnected()) return lastError_;
    HRESULT hr = Checked(inner_->SetAttributes(session, path, attributes));
    FileList* cached = cache_.Find(FolderKey(path));
    if (cached) {
        for (auto& e : *cached) {
            if (EqualsNoCase(e.name, NamePart(path))) e.attributes = attributes;
        }
    }
    return hr;
}

HRESULT ObexConnection::SetTimes(int session, const std::u16string& path, double created, double accessed, double modified) {
    if (!IsConnected()) return lastError_;
    HRESULT hr = Checked(inner_->SetTimes(session, path, created, accessed, modified));
    FileList* cached = cache_.Find(FolderKey(path));
    if (cached) {
        for (auto& e : *cached) {
            if (EqualsNoCase(e.name, NamePart(path))) {
                e.created = created;
                e.accessed = accessed;
                e.modified = modified;
            }
        }
    }
    return hr;
}

HRESULT ObexConnection::DriveCommand(int session, const std::u16string& path, const std::u16string* argument) {
    if (!IsConnected()) return lastError_;
    HRESULT hr = Checked(inner_->DriveCommand(session, path, argument));
    cache_.Clear();
    return hr;
}

HRESULT ObexConnection::QueryText(int session, const std::u16string& path, std::u16string* text, uint8_t selector) {
    if (!IsConnected()) return lastError_;
    return Checked(inner_->QueryText(session, path, text, selector));
}

HRESULT ObexConnection::QueryValue(int session, const std::u16string& path, uint32_t* value, uint8_t selector) {
    if (!IsConnected()) return lastError_;
    return Checked(inner_->QueryValue(session, path, value, selector));
}

HRESULT ObexConnection::QueryWord(int session, const std::u16string& path, uint32_t value, uint16_t* word) {
    if (!IsConnected()) return lastError_;
    return Checked(inner_->QueryWord(session, path, value, word));
}

HRESULT ObexConnection::GetFile(int session, const std::u16string& path, IObexStream& sink, uint8_t option) {
    if (!IsConnected()) return lastError_;
    return Checked(inner_->GetFile(session, path, sink, option));
}

HRESULT ObexConnection::SetText(int session, const std::u16string& path, const std::u16string& text, uint8_t selector) {
    if (!IsConnected()) return lastError_;
    return Checked(inner_->SetText(session, path, text, selector));
}

HRESULT ObexConnection::OpenPort(const std::string& portName, uint32_t baudRate) {
    HRESULT hr = inner_->OpenPort(portName, baudRate);
    if (Succeeded(hr)) {
        open_ = true;
        lastError_ = kOk;
    }
    return hr;
}

HRESULT ObexConnection::Connect(int* session, bool irmc) {
    if (irmc && CurrentSession() == 1) {
        Disconnect(1, false);
    }
    if (IsConnected()) {
        return kOk; // one session at a time
    }
    *session = 0;
    HRESULT hr = inner_->Connect(session, irmc);
    if (Succeeded(hr)) {
        std::lock_guard<std::mutex> lock(sessionMutex_);
        sessions_.push_back(*session);
    }
    return hr;
}

HRESULT ObexConnection::Disconnect(int session, bool) {
    {
        std::lock_guard<std::mutex> lock(sessionMutex_);
        if (std::find(sessions_.begin(), sessions_.end(), session) == sessions_.end()) return kOk;
    }
    HRESULT hr = inner_->Disconnect(session, false);
    if (Succeeded(hr)) {
        std::lock_guard<std::mutex> lock(sessionMutex_);
        std::erase(sessions_, session);
    }
    return hr;
}

HRESULT ObexConnection::CloseTransport() {
    if (!open_) return kOk;
    std::vector<int> open;
    {
        std::lock_guard<std::mutex> lock(sessionMutex_);
        open = sessions_;
    }
    for (int s : open) inner_->Disconnect(s, false);
    {
        std::lock_guard<std::mutex> lock(sessionMutex_);
        sessions_.clear();
    }
    HRESULT hr = inner_->CloseTransport();
    if (Succeeded(hr)) {
        lastError_ = kLinkFailure;
        open_ = false;
        cache_.Clear();
    }
    return hr;
}

HRESULT ObexConnection::Attach(ITransportLayer* transport) { return inner_->Attach(transport); }
HRESULT ObexConnection::GetModel(std::string* text, std::size_t size) { return inner_->GetModel(text, size); }
HRESULT ObexConnection::GetDriveCount(int* count) { return inner_->GetDriveCount(count); }

} // namespace obex
