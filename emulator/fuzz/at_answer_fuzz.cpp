// The AT exchange against a scripted module whose answers are the fuzzer's bytes, delivered in
// one piece or a byte at a time, with answer buffers of any size.
#include "module/at_channel.h"
#include "support/fuzz_input.h"
#include "testsupport/scripted_serial.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::Quiet();
    fuzzsupport::FuzzInput input(data, size);
    const uint8_t flags = input.Byte();
    const std::size_t bufferSize = input.Byte();
    testsupport::ScopedScriptedModule scripted;
    scripted.module.delivery = (flags & 1) ? testsupport::ScriptedModule::Delivery::ByteByByte
                                           : testsupport::ScriptedModule::Delivery::Glued;
    const auto answers = fuzzsupport::Split(input.Rest(), '\x01');
    scripted.module.Answer("AT\r", answers);
    scripted.module.Answer("AT+CGMM\r", answers.back());
    ComPortHandle port = OpenComPort("/dev/ttyTEST0", 115200);
    if (!port) {
        __builtin_trap();
    }
    std::string response(bufferSize + 1, '\x7f');
    (void)SendAtCommand(port.get(), "AT\r", 2500, flags >> 6, bufferSize == 0 ? nullptr : response.data(),
                        bufferSize);
    if (bufferSize != 0 && response.find('\0') >= bufferSize) {
        __builtin_trap(); // the answer is always terminated inside the buffer
    }
    (void)ExchangeAt(port.get(), "AT\r", 500, (flags & 2) ? "OK" : nullptr);
    (void)ExchangeAt(port.get(), "AT+CGMM\r", 500, "+CGMM");
    CloseComPort(port);
    return 0;
}
