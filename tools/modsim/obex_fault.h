#pragma once
// Faults of the OBEX link placed on one request, for sweeps over every request of a session. The
// requests are counted over the simulator's whole life (every OBEX period, every connection), so
// the fault fires exactly once and the sessions after it meet a sound module again.
#include <string>

namespace modsim {

enum class ObexFaultKind {
    None,
    Drop,      // the link drops at the request: no answer, the port connection ends
    Silent,    // no answers from the request on, until the module leaves OBEX mode
    BadLength, // the request's answer claims one byte more than it carries
};

// "drop", "silent" or "badlength" (any case); false for anything else.
bool ParseObexFaultKind(const std::string& text, ObexFaultKind* kind);

// What becomes of one request.
enum class RequestFate { Answered, Unanswered, LinkDropped, WrongLength };

// The fate of request `number` (1 = the first) under a fault of `kind` placed at request `at`;
// `silenced` says whether the current OBEX period has already fallen silent.
RequestFate FateOf(ObexFaultKind kind, long at, long number, bool silenced);

// Rewrites the length field of a response packet so that it claims one byte more than the packet
// holds: a reader that trusts the field waits for a byte that never comes.
void OverstateLength(std::string& packet);

} // namespace modsim
