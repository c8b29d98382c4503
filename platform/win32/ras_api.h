#pragma once
// The rasapi32 functions the dial-up service calls, as a table: the real one is loaded from the
// library at run time, and tests put a table of fakes in its place (Wine's rasapi32 has no
// entries and cannot dial).
#include <windows.h>

#include <ras.h>

#include <cstddef>

namespace platform::win32 {

struct RasApi {
    DWORD(WINAPI* getEntryProperties)
    (LPCSTR, LPCSTR, LPRASENTRYA, LPDWORD, LPBYTE, LPDWORD) = nullptr;
    DWORD(WINAPI* enumEntries)(LPCSTR, LPCSTR, LPRASENTRYNAMEA, LPDWORD, LPDWORD) = nullptr;
    DWORD(WINAPI* dial)
    (LPRASDIALEXTENSIONS, LPCSTR, LPRASDIALPARAMSA, DWORD, LPVOID, LPHRASCONN) = nullptr;
    DWORD(WINAPI* hangUp)(HRASCONN) = nullptr;
    DWORD(WINAPI* getConnectStatus)(HRASCONN, LPRASCONNSTATUSA) = nullptr;
    DWORD(WINAPI* enumConnections)(LPRASCONNA, LPDWORD, LPDWORD) = nullptr;
    DWORD(WINAPI* getErrorString)(UINT, LPSTR, DWORD) = nullptr;
    DWORD(WINAPI* connectionNotification)(HRASCONN, HANDLE, DWORD) = nullptr;
};

// The table in use: the fakes set for a test, else rasapi32's functions (loaded on first use);
// null when the library or one of its functions is missing.
const RasApi* CurrentRasApi();

// Puts a table of fakes in place of the library (null: back to the library).
void SetRasApiForTesting(const RasApi* api);

// The dial parameters are given without the fields of later systems (they end after the
// callback id), so every version takes them: 1060 bytes in a 32-bit program.
constexpr DWORD kDialParamsSize =
    static_cast<DWORD>(offsetof(RASDIALPARAMSA, dwCallbackId) + sizeof(ULONG_PTR));
// The entry record of Windows 2000, which refuses the larger one of later systems.
constexpr DWORD kLegacyEntrySize = 1768;

} // namespace platform::win32
