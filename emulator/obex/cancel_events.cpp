#include "obex/cancel_events.h"

namespace obex {

NamedCancelSignal::NamedCancelSignal(const char* name) {
    int error = 0;
    // Without the event (another user holds the name) nothing can cancel; the transfer still works.
    event_ = platform::IpcEvent::Open(name, &error);
}

bool NamedCancelSignal::Take() { return event_ && event_->Wait(0); }

void NamedCancelSignal::Raise() {
    if (event_) event_->Set();
}

} // namespace obex
