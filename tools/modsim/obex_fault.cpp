// The decision which request a placed fault hits, kept apart from the packet loop so it can be
// checked on its own.
#include "obex_fault.h"

#include "text_util.h"

namespace modsim {

bool ParseObexFaultKind(const std::string& text, ObexFaultKind* kind) {
    std::string lower = ToLower(text);
    if (lower == "drop") {
        *kind = ObexFaultKind::Drop;
    } else if (lower == "silent") {
        *kind = ObexFaultKind::Silent;
    } else if (lower == "badlength") {
        *kind = ObexFaultKind::BadLength;
    } else {
        return false;
    }
    return true;
}

RequestFate FateOf(ObexFaultKind kind, long at, long number, bool silenced) {
    if (kind == ObexFaultKind::Silent && (silenced || (at > 0 && number == at))) {
        return RequestFate::Unanswered;
    }
    if (at <= 0 || number != at) {
        return RequestFate::Answered;
    }
    switch (kind) {
    case ObexFaultKind::Drop: return RequestFate::LinkDropped;
    case ObexFaultKind::BadLength: return RequestFate::WrongLength;
    default: return RequestFate::Answered;
    }
}

void OverstateLength(std::string& packet) {
    if (packet.size() < 3) {
        return;
    }
    std::size_t claimed = packet.size() + 1;
    packet[1] = static_cast<char>((claimed >> 8) & 0xFF);
    packet[2] = static_cast<char>(claimed & 0xFF);
}

} // namespace modsim
