#pragma once
// Error numbers of the dial-up link. The Windows RAS numbers are kept, so logs read the same on
// every platform; the texts are our own.
#include <string>

namespace RasError {
constexpr int InvalidHandle = 6;          // the connection is gone
constexpr int PortAlreadyOpen = 602;      // the entry is already connected
constexpr int PortDisconnected = 619;     // the link dropped while it was being set up
constexpr int CannotFindEntry = 623;      // no such dial-up entry
constexpr int PortNotAvailable = 633;     // the modem's port cannot be opened or is not configured
constexpr int FromDevice = 651;           // the modem answered ERROR
constexpr int NoConnection = 668;         // hang-up of a connection that was not there
constexpr int LineBusy = 676;
constexpr int NoAnswer = 678;             // no CONNECT within the dial time
constexpr int NoCarrier = 679;
constexpr int NoDialtone = 680;
constexpr int LinkProgramMissing = 797;   // the program that holds the link could not be started
} // namespace RasError

// The text for a RAS error number, as the system's error lookup gives it. False (and text
// unchanged) for a number that is not a RAS error.
bool RasErrorText(int error, std::string& text);
