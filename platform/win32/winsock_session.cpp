// The process-wide Winsock start: WSAStartup on first use, WSACleanup at process end.
#include "winsock_session.h"

#include <mutex>

#include <winsock2.h>

namespace platform::win32 {

namespace {

class WinsockSession {
public:
    ~WinsockSession() {
        if (started_) {
            WSACleanup();
        }
    }
    bool Start(int* error) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!started_) {
            WSADATA data{};
            int result = WSAStartup(MAKEWORD(2, 2), &data);
            if (result != 0) {
                *error = result;
                return false;
            }
            started_ = true;
        }
        *error = 0;
        return true;
    }

private:
    std::mutex mutex_;
    bool started_ = false;
};

} // namespace

bool StartWinsock(int* error) {
    static WinsockSession session;
    return session.Start(error);
}

} // namespace platform::win32
