// The folder-listing parser. It assumes the module's own layout (declaration, DOCTYPE and the
// opening element, then one element per entry) and reads attributes as key="value" pairs. On a
// malformed element it keeps what it read and goes on with the next "<", so it always ends.
#include "obex/folder_listing.h"

#include <cstdlib>
#include <new>
#include <string>

#include "obex/obex_encoding.h"

namespace obex {
namespace {

bool StartsWith(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.size() - at >= prefix.size() && text.compare(at, prefix.size(), prefix) == 0;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void ApplyAttribute(FileEntry& entry, std::string_view key, std::string_view value) {
    double date = 0.0;
    if (key == "size") {
        std::string digits(value);
        entry.size = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 10));
    } else if (key == "modified") {
        if (TimeTextToOleDate(value, &date)) entry.created = entry.accessed = entry.modified = date;
    } else if (key == "created") {
        if (TimeTextToOleDate(value, &date)) entry.created = date;
    } else if (key == "accessed") {
        if (TimeTextToOleDate(value, &date)) entry.accessed = date;
    } else if (key == "user-perm") {
        entry.attributes = ApplyUserPermissions(entry.attributes, value);
    } else if (key == "group-perm") {
        entry.attributes = ApplyGroupPermissions(entry.attributes, value);
    }
}

// Reads the attributes of an entry element starting just after its element name. Returns the
// position where reading stopped.
std::size_t ReadEntry(std::string_view text, std::size_t pos, FileEntry& entry) {
    std::size_t open = text.find('"', pos);
    std::size_t close = open == std::string_view::npos ? open : text.find('"', open + 1);
    if (close == std::string_view::npos) {
        return text.size();
    }
    std::u16string name = DecodeListingName(text.substr(open + 1, close - open - 1));
    if (name.size() > kMaxEntryNameLength) {
        name.resize(kMaxEntryNameLength);
    }
    entry.name = std::move(name);
    pos = close + 1;
    for (;;) {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        if (pos >= text.size() || text[pos] == '/' || text[pos] == '>' || text[pos] == '<') {
            return pos;
        }
        std::size_t eq = pos;
        while (eq < text.size() && text[eq] != '=' && text[eq] != '"' && text[eq] != '>' && text[eq] != '<') ++eq;
        if (eq >= text.size() || text[eq] != '=' || eq + 1 >= text.size() || text[eq + 1] != '"') {
            return eq;
        }
        std::size_t valueEnd = text.find('"', eq + 2);
        if (valueEnd == std::string_view::npos) {
            return text.size();
        }
        std::string_view key = text.substr(pos, eq - pos);
        while (!key.empty() && IsBlank(key.back())) key.remove_suffix(1);
        ApplyAttribute(entry, key, text.substr(eq + 2, valueEnd - eq - 2));
        pos = valueEnd + 1;
    }
}

} // namespace

ListingParse ParseFolderListing(std::string_view text, FileList* entries) {
    std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
        text = text.substr(0, nul);
    }
    if (text.empty()) {
        return ListingParse::EmptyText;
    }
    std::size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        pos = text.find('>', pos);
        if (pos == std::string_view::npos) {
            return ListingParse::Empty;
        }
        ++pos;
    }
    bool any = false;
    try {
        for (;;) {
            pos = text.find('<', pos);
            if (pos == std::string_view::npos) {
                break;
            }
            ++pos;
            if (StartsWith(text, pos, "/folder-listing")) {
                break;
            }
            bool folder = StartsWith(text, pos, "folder") && !StartsWith(text, pos, "folder-listing");
            bool file = StartsWith(text, pos, "file");
            if (!folder && !file) {
                continue; // parent-folder and anything unknown are passed over
            }
            FileEntry entry;
            entry.attributes = folder ? kAttrFolder : 0;
            pos = ReadEntry(text, pos + (folder ? 6 : 4), entry);
            entries->push_back(std::move(entry));
            any = true;
        }
    } catch (const std::bad_alloc&) {
        return ListingParse::OutOfMemory;
    }
    return any ? ListingParse::Entries : ListingParse::Empty;
}

} // namespace obex
