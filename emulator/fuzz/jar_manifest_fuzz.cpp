// Fuzzes the zip reading behind the JAR manifest: whatever the bytes, the reader answers with
// the entry or with nothing, within its size limit, and never reads outside the input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/zip_entry.h"

namespace {

constexpr std::size_t kMaxManifest = 1u << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zip::MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string why;
    auto manifest = zip::ReadEntry(source, "META-INF/MANIFEST.MF", kMaxManifest, &why);
    if (manifest && manifest->size() > kMaxManifest) __builtin_trap();
    if (!manifest && why.empty()) __builtin_trap();
    return 0;
}
