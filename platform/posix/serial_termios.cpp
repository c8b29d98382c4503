#include "serial_termios.h"

#include <array>
#include <utility>

namespace platform::posix {

namespace {
const std::array<std::pair<uint32_t, speed_t>, 13> kSpeeds = {{
    {1200, B1200}, {2400, B2400}, {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600},
}};
} // namespace

bool BaudRateToSpeed(uint32_t baudRate, speed_t* speed) {
    for (const auto& [rate, constant] : kSpeeds) {
        if (rate == baudRate) {
            *speed = constant;
            return true;
        }
    }
    return false;
}

uint32_t SpeedToBaudRate(speed_t speed) {
    for (const auto& [rate, constant] : kSpeeds) {
        if (constant == speed) {
            return rate;
        }
    }
    return 0;
}

bool ApplySettings(const SerialSettings& settings, termios* t) {
    speed_t speed;
    if (!BaudRateToSpeed(settings.baudRate, &speed)) {
        return false;
    }
    tcflag_t size;
    switch (settings.dataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
    }
    cfmakeraw(t);
    cfsetispeed(t, speed);
    cfsetospeed(t, speed);
    t->c_cflag = (t->c_cflag & ~CSIZE) | size | CREAD | CLOCAL;
    t->c_cflag &= ~(PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    switch (settings.parity) {
    case SerialParity::None: break;
    case SerialParity::Odd: t->c_cflag |= PARENB | PARODD; break;
    case SerialParity::Even: t->c_cflag |= PARENB; break;
    case SerialParity::Mark: t->c_cflag |= PARENB | CMSPAR | PARODD; break;
    case SerialParity::Space: t->c_cflag |= PARENB | CMSPAR; break;
    }
    // POSIX knows one and two stop bits; one and a half (only meaningful for 5 data bits) maps to two.
    if (settings.stopBits != SerialStopBits::One) {
        t->c_cflag |= CSTOPB;
    }
    // RTS handshake and CTS output flow are one flag in termios.
    if (settings.ctsOutputFlow || settings.rts == SerialLineMode::Handshake) {
        t->c_cflag |= CRTSCTS;
    }
    t->c_iflag &= ~(IXON | IXOFF | IXANY);
    if (settings.xonXoff) {
        t->c_iflag |= IXON | IXOFF;
    }
    // Reads are timed by poll(), never by the driver.
    t->c_cc[VMIN] = 0;
    t->c_cc[VTIME] = 0;
    return true;
}

void ReadSettings(const termios& t, SerialSettings* settings) {
    settings->baudRate = SpeedToBaudRate(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5: settings->dataBits = 5; break;
    case CS6: settings->dataBits = 6; break;
    case CS7: settings->dataBits = 7; break;
    default: settings->dataBits = 8; break;
    }
    if (!(t.c_cflag & PARENB)) {
        settings->parity = SerialParity::None;
    } else if (t.c_cflag & CMSPAR) {
        settings->parity = (t.c_cflag & PARODD) ? SerialParity::Mark : SerialParity::Space;
    } else {
        settings->parity = (t.c_cflag & PARODD) ? SerialParity::Odd : SerialParity::Even;
    }
    settings->stopBits = (t.c_cflag & CSTOPB) ? SerialStopBits::Two : SerialStopBits::One;
    settings->ctsOutputFlow = (t.c_cflag & CRTSCTS) != 0;
    settings->xonXoff = (t.c_iflag & IXON) != 0;
}

} // namespace platform::posix
