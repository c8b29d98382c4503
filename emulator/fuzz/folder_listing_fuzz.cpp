// The folder-listing parser over any text.
#include "obex/folder_listing.h"
#include "support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    obex::FileList entries;
    const auto result =
        obex::ParseFolderListing(std::string_view(reinterpret_cast<const char*>(data), size), &entries);
    if (result != obex::ListingParse::Entries && result != obex::ListingParse::OutOfMemory && !entries.empty() &&
        result == obex::ListingParse::EmptyText) {
        __builtin_trap();
    }
    return 0;
}
