#include "platform/unicode_case.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace platform {
namespace {

// One row maps the code points first, first + step, ..., last to themselves plus distance.
struct UpcaseRow {
    std::uint32_t first;
    std::uint32_t last;
    std::int32_t distance;
    std::uint32_t step;
};

constexpr UpcaseRow kUpcaseRows[] = {
#include "unicode_upcase_table.inc"
};

void AppendCodePoint(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

} // namespace

char32_t UpcaseCodePoint(char32_t codePoint) {
    const std::uint32_t value = codePoint;
    // The rows are sorted and do not overlap: find the last one starting at or before value.
    const UpcaseRow* end = std::end(kUpcaseRows);
    const UpcaseRow* row = std::upper_bound(std::begin(kUpcaseRows), end, value,
                                            [](std::uint32_t v, const UpcaseRow& r) { return v < r.first; });
    if (row == std::begin(kUpcaseRows)) {
        return codePoint;
    }
    --row;
    if (value > row->last || (value - row->first) % row->step != 0) {
        return codePoint;
    }
    return static_cast<char32_t>(static_cast<std::int64_t>(value) + row->distance);
}

std::u16string UpcaseUtf16(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const char32_t codePoint = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                                       (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            AppendCodePoint(out, UpcaseCodePoint(codePoint));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            out.push_back(unit); // an unpaired surrogate has no case
        } else {
            AppendCodePoint(out, UpcaseCodePoint(unit));
        }
    }
    return out;
}

} // namespace platform
