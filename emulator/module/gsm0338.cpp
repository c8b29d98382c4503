// GSM 03.38 default alphabet for file names. The tables are indexed by the byte value of an
// ISO 8859-1 character; the main table gives the GSM code, ExtensionMarker (use the extension
// table after an escape) or NotInTable.
#include "module/gsm0338.h"

#include <array>
#include <cstdint>

#include "core/log.h"

namespace {

constexpr uint8_t NotInTable = 0xFF;
constexpr uint8_t ExtensionMarker = 0xFE;
constexpr uint8_t Escape = 0x1B;

constexpr std::array<uint8_t, 256> BuildMainTable() {
    std::array<uint8_t, 256> table{};
    for (auto& entry : table) {
        entry = NotInTable;
    }
    for (int c : {0x08, 0x0A, 0x0D, 0x1B}) {
        table[c] = static_cast<uint8_t>(c);
    }
    for (int c = 0x20; c <= 0x5A; ++c) {
        table[c] = static_cast<uint8_t>(c);
    }
    table[0x24] = 0x02; // $
    table[0x40] = 0x00; // @
    for (int c = 0x5B; c <= 0x5E; ++c) {
        table[c] = ExtensionMarker; // [ \ ] ^
    }
    table[0x5F] = 0x11; // _
    for (int c = 0x61; c <= 0x7A; ++c) {
        table[c] = static_cast<uint8_t>(c);
    }
    for (int c = 0x7B; c <= 0x7E; ++c) {
        table[c] = ExtensionMarker; // { | } ~
    }
    const std::pair<int, uint8_t> latin1[] = {
        {0xA1, 0x40}, {0xA3, 0x01}, {0xA4, 0x24}, {0xA5, 0x03}, {0xA7, 0x5F}, {0xBF, 0x60},
        {0xC4, 0x5B}, {0xC5, 0x0E}, {0xC6, 0x1C}, {0xC9, 0x1F}, {0xD1, 0x5D}, {0xD6, 0x5C},
        {0xD8, 0x0B}, {0xDC, 0x5E}, {0xDF, 0x1E}, {0xE0, 0x7F}, {0xE4, 0x7B}, {0xE5, 0x0F},
        {0xE6, 0x1D}, {0xE7, 0x09}, {0xE8, 0x04}, {0xE9, 0x05}, {0xEC, 0x07}, {0xF1, 0x7D},
        {0xF2, 0x08}, {0xF6, 0x7C}, {0xF8, 0x0C}, {0xF9, 0x06}, {0xFC, 0x7E},
    };
    for (const auto& [c, code] : latin1) {
        table[c] = code;
    }
    return table;
}

constexpr std::array<uint8_t, 256> BuildExtensionTable() {
    std::array<uint8_t, 256> table{};
    for (auto& entry : table) {
        entry = NotInTable;
    }
    table['['] = 0x3C;
    table['\\'] = 0x2F;
    table[']'] = 0x3E;
    table['^'] = 0x14;
    table['{'] = 0x28;
    table['|'] = 0x40;
    table['}'] = 0x29;
    table['~'] = 0x3D;
    // Never reached (both have direct main entries) but part of the alphabet's extension page.
    table[0x0A] = 0x0A;
    table[0x65] = 0x65;
    return table;
}

constexpr std::array<uint8_t, 256> MainTable = BuildMainTable();
constexpr std::array<uint8_t, 256> ExtensionTable = BuildExtensionTable();

} // namespace

bool EncodeGsm0338(const std::string& input, std::string& output) {
    output.clear();
    for (char character : input) {
        const uint8_t byte = static_cast<uint8_t>(character);
        if (byte == 0) {
            break; // the name ends at its terminating zero
        }
        const uint8_t code = MainTable[byte];
        if (code == NotInTable) {
            LogPrint(LogChannel::Log, "Gsm 03.38 encoder error: Character not in table!\n");
            return false;
        }
        if (code == ExtensionMarker) {
            output += static_cast<char>(Escape);
            output += static_cast<char>(ExtensionTable[byte]);
        } else {
            output += static_cast<char>(code);
        }
    }
    return true;
}
