"""Cross-check of the simulator against pyserial's RFC 2217 client: open, DTR pulse, CTS, AT text."""
import sys
import time

import serial

port = serial.serial_for_url(sys.argv[1] + "?poll_modem", baudrate=115200, timeout=0.2)
print("cts before pulse:", port.cts)
port.dtr = False
time.sleep(0.4)
port.dtr = True
deadline = time.time() + 3
while not port.cts and time.time() < deadline:
    time.sleep(0.02)
print("cts after pulse:", port.cts)
port.write(b"ATI\r")
answer = b""
deadline = time.time() + 3
while b"OK\r\n" not in answer and time.time() < deadline:
    answer += port.read(64)
print("answer:", repr(answer.decode("latin-1")))
port.close()
