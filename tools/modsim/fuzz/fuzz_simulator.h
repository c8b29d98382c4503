#pragma once
// A simulator with its OBEX server and debug side, on a flash folder of its own that each run
// starts empty, and an in-memory channel that hands over the fuzzer's bytes.
#include <memory>
#include <string>

#include "simulator.h"

namespace modsimfuzz {

// A fresh simulator: flash emptied, the given extra options parsed, prepared.
std::unique_ptr<modsim::Simulator> MakeSimulator(const std::string& flashName);

// The PC side: the input in pieces of the chosen size, then a closed port; answers are dropped.
class MemoryChannel : public modsim::ByteChannel {
public:
    MemoryChannel(std::string input, std::size_t piece) : input_(std::move(input)), piece_(piece ? piece : 1) {}
    long Read(void* buffer, std::size_t size, uint32_t) override;
    bool Write(const void*, std::size_t size) override {
        written += size;
        return true;
    }
    uint32_t BaudRate() const override { return 115200; }
    std::size_t written = 0;

private:
    std::string input_;
    std::size_t piece_;
};

} // namespace modsimfuzz
