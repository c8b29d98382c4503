#include "core/log_text.h"

std::string ConsoleText(const std::string& text, const char* prefix, bool& atLineStart) {
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            lines += text[i];
        }
    }
    const bool endsLine = !lines.empty() && lines.back() == '\n';
    if (endsLine) {
        lines.pop_back();
    }
    std::string result;
    if (prefix != nullptr) {
        const std::string p(prefix);
        if (atLineStart) {
            result += p;
        }
        for (char c : lines) {
            result += c;
            if (c == '\n') {
                result += p;
            }
        }
    } else {
        result = std::move(lines);
    }
    if (endsLine) {
        result += '\n';
    }
    atLineStart = endsLine;
    return result;
}

std::string LogFileText(const std::string& text, bool& lastWasCr) {
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n' && !lastWasCr) {
            result += '\r';
        }
        result += c;
        lastWasCr = (c == '\r');
    }
    return result;
}
