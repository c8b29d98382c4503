#pragma once
// Case-insensitive comparison of names as the Windows registry does it: both sides are turned
// into their simple upper-case form, code point by code point, over all of Unicode (not only
// ASCII). A name keeps its own spelling; only comparisons use the upper-case form.
#include <string>

namespace platform {

// The simple (one to one) upper-case form of a code point; the code point itself when it has
// none. Code points outside Unicode's range are returned unchanged.
char32_t UpcaseCodePoint(char32_t codePoint);

// The upper-case form of UTF-16 text: surrogate pairs are mapped as one code point, unpaired
// surrogates are kept as they are, so the result has the same length in code units whenever
// the mapping stays in the same plane (it always does in Unicode 15).
std::u16string UpcaseUtf16(const std::u16string& text);

} // namespace platform
