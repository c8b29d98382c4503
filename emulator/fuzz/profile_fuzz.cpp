// The INI reader: any text, the values of the sections and keys it names.
#include "core/private_profile.h"
#include "support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Profile profile = Profile::FromText(text);
    std::size_t looked = 0;
    for (const auto& section : profile.SectionNames()) {
        for (const char* key : {"Device", "AttachedTo", "MaximumPortSpeed", "UDPport", ""}) {
            const std::string value = profile.String(section, key, "default");
            if (value.size() > ProfileValueLimit || value != ProfileStringFromText(text, section, key, "default")) {
                __builtin_trap();
            }
            (void)profile.Int(section, key, -1);
        }
        if (!profile.HasSection(section) || ++looked > 20) {
            break;
        }
    }
    (void)ProfileStringFromText(text, "Debug", "UDPport", "");
    return 0;
}
