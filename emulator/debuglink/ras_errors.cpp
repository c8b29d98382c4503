#include "debuglink/ras_errors.h"

bool RasErrorText(int error, std::string& text) {
    switch (error) {
    case RasError::PortAlreadyOpen:
        text = "The port is already open: the dial-up connection is already up.";
        return true;
    case RasError::PortDisconnected:
        text = "The connection to the module could not be established; the port was closed.";
        return true;
    case RasError::CannotFindEntry:
        text = "The system could not find the phone book entry for this connection.";
        return true;
    case RasError::PortNotAvailable:
        text = "The modem's port is already in use, cannot be opened or is not configured "
               "properly.";
        return true;
    case RasError::FromDevice:
        text = "The modem (or other connecting device) has reported an error.";
        return true;
    case RasError::NoConnection:
        text = "The connection was terminated.";
        return true;
    case RasError::LineBusy:
        text = "The phone line is busy.";
        return true;
    case RasError::NoAnswer:
        text = "The remote computer did not respond.";
        return true;
    case RasError::NoCarrier:
        text = "The system could not detect the carrier.";
        return true;
    case RasError::NoDialtone:
        text = "There is no dial tone.";
        return true;
    case RasError::LinkProgramMissing:
        text = "The program that carries the connection (modlink-linkd or pppd) could not be "
               "started.";
        return true;
    default:
        return false;
    }
}
