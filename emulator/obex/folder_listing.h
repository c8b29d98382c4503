#pragma once
// Reads the module's folder-listing object (type "x-obex/folder-listing") by fixed string
// matching. Never reads beyond the text it is given, however malformed.
#include <string_view>

#include "obex/obex_types.h"

namespace obex {

enum class ListingParse { OutOfMemory = 0, Entries = 1, Empty = 2, EmptyText = 3 };

ListingParse ParseFolderListing(std::string_view text, FileList* entries);

} // namespace obex
