#pragma once
// Conversions between serial settings and termios, as pure functions so they can be tested without
// a device. POSIX only.
#include <termios.h>

#include <cstdint>

#include "platform/serial_device.h"

namespace platform::posix {

// The termios speed constant of a rate; false for a rate without one.
bool BaudRateToSpeed(uint32_t baudRate, speed_t* speed);
// The rate of a speed constant; 0 for an unknown one.
uint32_t SpeedToBaudRate(speed_t speed);

// Puts the settings into *t, keeping every field they do not cover. The line is made raw (no
// echo, no canonical mode, no character translation), as a serial driver delivers bytes to a
// program. False when the rate or data size has no termios form.
bool ApplySettings(const SerialSettings& settings, termios* t);

// Reads the frame format, rate and flow control from termios. DTR and RTS are not in termios:
// *settings keeps what it holds for them.
void ReadSettings(const termios& t, SerialSettings* settings);

} // namespace platform::posix
