#include "platform/standard_streams.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace platform {

namespace {

// The handle behind the C runtime's descriptor (1 or 2), so that a redirection of the descriptor
// (dup2, as a test's output capture does) is honoured as on POSIX; the process's standard handle
// when the descriptor has none.
HANDLE StreamHandle(int descriptor, DWORD which) {
    intptr_t handle = _get_osfhandle(descriptor);
    if (handle != -1 && handle != -2) {
        return reinterpret_cast<HANDLE>(handle);
    }
    return GetStdHandle(which);
}

bool WriteAll(int descriptor, DWORD which, const char* data, size_t size) {
    HANDLE handle = StreamHandle(descriptor, which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    while (size > 0) {
        DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle, data, chunk, &written, nullptr)) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

bool WriteStandardOutput(const char* data, size_t size) { return WriteAll(1, STD_OUTPUT_HANDLE, data, size); }

bool WriteStandardError(const char* data, size_t size) { return WriteAll(2, STD_ERROR_HANDLE, data, size); }

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool IsStandardOutputTerminal() {
    HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_CHAR) {
        return false;
    }
    // NUL is a character device too, but has no console mode.
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

void AttachParentConsole() { AttachConsole(ATTACH_PARENT_PROCESS); }

} // namespace platform
