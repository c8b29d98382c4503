#pragma once
// The serial port of the AT command channel and the AT exchange itself. No port handle lives
// between operations: each opens the port, talks and closes it (the handle's destructor closes
// it on every path).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/serial_device.h"

// A port handle; null is the invalid handle.
using ComPortHandle = std::unique_ptr<platform::SerialDevice>;

// Opens the port at a rate with 8 data bits, no parity, one stop bit, DTR on, RTS handshake and
// CTS output flow control, a 50 ms wait for the first byte of a read and a 2500 ms write
// time-out. Null on any failure (LastComPortError() says why).
ComPortHandle OpenComPort(const std::string& portName, uint32_t baudRate);

// Closes the port (a null handle is left alone).
void CloseComPort(ComPortHandle& handle);

// The OS error code of the last failing open or setting of OpenComPort/TrySetPortBaud.
int LastComPortError();

// Results of TrySetPortBaud.
enum TrySetPortBaudResult { PortBaudSet = 0, PortNotOpened = 2, PortStateUnreadable = 3, PortStateRefused = 4 };

// Opens the port, sets the rate with 8N1 and DTR on (RTS and CTS handling as read), and closes it.
int TrySetPortBaud(uint32_t baudRate, const std::string& portName);

// The highest rate of 9600 ... 921600 the port accepts before the first refusal. True when at
// least 9600 was accepted; *maxBaudRate is 0 on failure.
bool ProbeMaxBaudRate(const std::string& portName, uint32_t* maxBaudRate);

// Sends a command and waits for a final answer: true for "OK\r\n" or "CONNECT\r\n", false for
// "ERROR\r\n", "+CME ERROR: 21\r\n", a time-out after retries + 1 attempts, or an I/O failure.
// The answer lands in response (responseSize - 1 bytes of room, NUL-terminated); without a buffer
// an internal one of 256 bytes is used. An empty command succeeds without any I/O.
bool SendAtCommand(platform::SerialDevice* port, const std::string& command, int timeoutMs, int retries,
                   char* response, std::size_t responseSize);

// One logged exchange: no retries, a 512-byte answer buffer, and when expected is not null the
// answer must also contain it.
bool ExchangeAt(platform::SerialDevice* port, const std::string& command, int timeoutMs, const char* expected);
