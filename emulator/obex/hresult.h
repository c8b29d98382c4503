#pragma once
// Result codes of the module file transfer. The values are the Windows HRESULTs the file
// transfer has always reported, so logs and callers read the same numbers on every system.
#include <cstdint>

namespace obex {

using HRESULT = int32_t;

constexpr HRESULT MakeHr(uint32_t value) { return static_cast<HRESULT>(value); }

inline constexpr HRESULT kOk = 0;
inline constexpr HRESULT kFalse = 1;
inline constexpr HRESULT kNotImplemented = MakeHr(0x80004001);
inline constexpr HRESULT kNoInterface = MakeHr(0x80004002);
inline constexpr HRESULT kPointer = MakeHr(0x80004003);
inline constexpr HRESULT kFail = MakeHr(0x80004005);
inline constexpr HRESULT kUnexpected = MakeHr(0x8000FFFF);
inline constexpr HRESULT kAccessDenied = MakeHr(0x80070005);
inline constexpr HRESULT kOutOfMemory = MakeHr(0x8007000E);
inline constexpr HRESULT kGone = MakeHr(0x8007000F);
inline constexpr HRESULT kEmptyText = MakeHr(0x8007001A);
inline constexpr HRESULT kPreconditionFailed = MakeHr(0x80070022);
inline constexpr HRESULT kInvalidArg = MakeHr(0x80070057);
inline constexpr HRESULT kAlreadyExists = MakeHr(0x800700B7);
inline constexpr HRESULT kRequestAborted = MakeHr(0x800704D3);
inline constexpr HRESULT kFileNotFound = MakeHr(0x80030002);
inline constexpr HRESULT kMediumFull = MakeHr(0x80030070);
inline constexpr HRESULT kBadRequest = MakeHr(0x80043004);
inline constexpr HRESULT kServiceUnavailable = MakeHr(0x80043008);
inline constexpr HRESULT kUnauthorized = MakeHr(0x8004300B);
inline constexpr HRESULT kDatabaseLocked = MakeHr(0x8004300D);
inline constexpr HRESULT kCancelled = MakeHr(0x80040300);
inline constexpr HRESULT kPortAccessDenied = MakeHr(0x8004A001);
inline constexpr HRESULT kPortOpenFailed = MakeHr(0x8004A002);
inline constexpr HRESULT kAtCommandError = MakeHr(0x8004A004);
inline constexpr HRESULT kLinkFailure = MakeHr(0x8004B001);
inline constexpr HRESULT kReadTimeout = MakeHr(0x8004B016);

// Success values of OBEX Continue and OK: the response code sits in the low byte.
inline constexpr HRESULT kObexContinue = MakeHr(0x01048090);
inline constexpr HRESULT kObexOk = MakeHr(0x010480A0);

constexpr bool Failed(HRESULT hr) { return hr < 0; }
constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }

// A link failure of the transport (0x8004Axxx or 0x8004Bxxx): the session is gone.
constexpr bool IsLinkFailure(HRESULT hr) {
    uint32_t v = static_cast<uint32_t>(hr);
    return Failed(hr) && ((v >> 16) & 0x1FFF) == 4 && (v & 0xFFFF) >= 0xA000 && (v & 0xFFFF) <= 0xBFFF;
}

// The operation layer's folding: S_FALSE stays, other successes become S_OK, failures pass.
constexpr HRESULT FoldResult(HRESULT hr) { return hr == kFalse ? kFalse : (Succeeded(hr) ? kOk : hr); }

} // namespace obex
