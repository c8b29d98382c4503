#include "platform/string_resources.h"

#include <windows.h>

namespace platform {

// Asked for with a buffer size of 0, LoadStringW hands out the text in place, so a string of
// any length is read whole (a fixed buffer would cut a long command template).
std::optional<std::string> LoadStringResource(unsigned id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    if (length <= 0 || text == nullptr) {
        return std::nullopt;
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

} // namespace platform
