// Lime bridge against a Unix domain socket, between the same two processes: null-call round
// trips (rate, median and 99th-percentile latency) and the throughput of a 16 MiB byte-array
// argument, then a socket ping-pong and a 16 MiB socket transfer as the baseline.
//   sublime_bench [ROUNDS]          runs everything and prints the figures
//   sublime_bench --serve ID PATH   the serving process (started by the first form)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bytes.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/unix_socket.h"
#include "sublime.h"
#include "sublimeio.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBulkBytes = 16 * 1024 * 1024;
constexpr int kBulkRounds = 8;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// The Sublime side in native code: answers lookups of "nothing" (id 0, no arguments, void)
// and "bulk" (id 1, one byte array, int), and calls of both.
void ServeLime(int32_t id) {
    bufferId callId{id, 0};
    bufferId returnId{id, 1};
    SharedBuffer* call = SharedBufferCreate(&callId, kLimeBufferSize);
    SharedBuffer* ret = SharedBufferCreate(&returnId, kLimeBufferSize);
    std::printf("LIME READY\n");
    std::fflush(stdout);
    std::vector<uint8_t> payload;
    for (;;) {
        int32_t threadId = 0;
        int32_t length = 0;
        if (call->readInt(call, &threadId) != 0 || call->readInt(call, &length) != 0 || length < 4) {
            break;
        }
        payload.resize(static_cast<size_t>(length));
        if (call->readFully(call, payload.data(), length) != 0) {
            break;
        }
        uint8_t reply[16];
        int replyLength = 0;
        if (lime::LoadInt32(payload.data()) == 1) {
            const bool bulk = std::string(reinterpret_cast<char*>(payload.data()) + 4, payload.size() - 4).find("bulk") !=
                              std::string::npos;
            lime::StoreInt32(reply, bulk ? 1 : 0);
            lime::StoreInt32(reply + 4, bulk ? 1 : 0);
            if (bulk) {
                lime::StoreInt32(reply + 8, 0x11);
                lime::StoreInt32(reply + 12, 3);
                replyLength = 16;
            } else {
                lime::StoreInt32(reply + 8, 0);
                replyLength = 12;
            }
        } else if (lime::LoadInt32(payload.data() + 4) == 1) {
            // The array's count, as proof that all of it arrived.
            lime::StoreInt32(reply, lime::LoadInt32(payload.data() + 8));
            replyLength = 4;
        }
        ret->writeInt(ret, threadId);
        ret->writeInt(ret, replyLength);
        ret->writeFully(ret, reply, replyLength);
        ret->flush(ret);
    }
    SharedBufferDestroy(call);
    SharedBufferDestroy(ret);
}

// The socket side: echoes 4-byte pings; a ping of -1 is followed by a bulk block whose length
// comes next, and is answered with that length.
void ServeSocket(platform::LocalListener* listener) {
    int error = 0;
    auto stream = listener->Accept(&error);
    if (stream == nullptr) {
        return;
    }
    std::vector<uint8_t> block;
    for (;;) {
        int32_t word = 0;
        if (!stream->ReceiveAll(&word, 4)) {
            return;
        }
        if (word == -1) {
            int32_t length = 0;
            if (!stream->ReceiveAll(&length, 4)) {
                return;
            }
            block.resize(static_cast<size_t>(length));
            if (!stream->ReceiveAll(block.data(), block.size())) {
                return;
            }
            word = length;
        }
        if (!stream->SendAll(&word, 4)) {
            return;
        }
    }
}

int Serve(int32_t id, const std::string& path) {
    int error = 0;
    auto listener = platform::LocalListener::Listen(path, &error);
    if (listener == nullptr) {
        std::fprintf(stderr, "cannot listen at %s: %s\n", path.c_str(), platform::ErrorText(error).c_str());
        return 1;
    }
    std::thread sockets(ServeSocket, listener.get());
    ServeLime(id);
    sockets.join();
    return 0;
}

struct Latency {
    double perSecond, median, p99, max;
};

template <typename Call>
Latency Measure(int rounds, Call call) {
    for (int k = 0; k < rounds / 10; ++k) {
        call();
    }
    std::vector<double> samples(static_cast<size_t>(rounds));
    const auto start = Clock::now();
    for (auto& sample : samples) {
        const auto t0 = Clock::now();
        call();
        sample = Micros(Clock::now() - t0);
    }
    const double total = Micros(Clock::now() - start);
    std::sort(samples.begin(), samples.end());
    return {rounds / (total / 1e6), samples[samples.size() / 2], samples[samples.size() * 99 / 100], samples.back()};
}

template <typename Transfer>
double Throughput(Transfer transfer) {
    transfer();
    const auto start = Clock::now();
    for (int k = 0; k < kBulkRounds; ++k) {
        transfer();
    }
    const double seconds = Micros(Clock::now() - start) / 1e6;
    return kBulkRounds * (kBulkBytes / (1024.0 * 1024.0)) / seconds;
}

bool WaitForLine(platform::Process& child, const std::string& text) {
    std::string output;
    char buffer[256];
    while (output.find(text) == std::string::npos) {
        long got = child.ReadOutput(buffer, sizeof buffer);
        if (got <= 0) {
            std::fprintf(stderr, "%s", output.c_str());
            return false;
        }
        output.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--serve") {
        return Serve(static_cast<int32_t>(std::atoi(argv[2])), argv[3]);
    }
    const int rounds = argc > 1 ? std::max(100, std::atoi(argv[1])) : 20000;
    const int32_t id = (platform::CurrentProcessId() << 8) | 0xbe;
    const std::string path = platform::TempFolder() + "sublime-bench-" + std::to_string(id) + ".sock";

    platform::ProcessOptions options;
    options.arguments = {platform::ExecutablePath(), "--serve", std::to_string(id), path};
    options.output = platform::ChildOutput::Pipe;
    int error = 0;
    auto server = platform::Process::Start(options, &error);
    if (server == nullptr || !WaitForLine(*server, "LIME READY\n")) {
        std::fprintf(stderr, "sublime_bench: the serving process did not start\n");
        return 1;
    }

    platform::SetEnv("SUBLIME_PROC_ID", std::to_string(id));
    LimeFunction* nothing = NewLimeFunction("bench", "Bench", "nothing");
    LimeFunction* bulk = NewLimeFunction("bench", "Bench", "bulk");
    std::vector<uint8_t> block(kBulkBytes, 0x5a);
    const Latency lime = Measure(rounds, [&] { nothing->call(nothing, nullptr); });
    int32_t received = 0;
    const double limeBulk = Throughput([&] { bulk->call(bulk, &received, block.data(), kBulkBytes); });
    const bool limeBulkOk = received == kBulkBytes;

    std::unique_ptr<platform::LocalStream> stream;
    for (int attempt = 0; attempt < 100 && stream == nullptr; ++attempt) {
        stream = platform::LocalStream::Connect(path, &error);
        if (stream == nullptr) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (stream == nullptr) {
        std::fprintf(stderr, "sublime_bench: cannot connect to %s\n", path.c_str());
        return 1;
    }
    const Latency socket = Measure(rounds, [&] {
        int32_t word = 7;
        stream->SendAll(&word, 4);
        stream->ReceiveAll(&word, 4);
    });
    int32_t acknowledged = 0;
    const double socketBulk = Throughput([&] {
        const int32_t header[2] = {-1, kBulkBytes};
        stream->SendAll(header, 8);
        stream->SendAll(block.data(), block.size());
        stream->ReceiveAll(&acknowledged, 4);
    });
    stream.reset();
    EndLime();
    int code = 0;
    server->Wait(10000, &code);

    std::printf("sublime_bench: %d null calls, %d x 16 MiB, two processes\n", rounds, kBulkRounds);
    std::printf("%-22s %10s %10s %10s %10s %14s\n", "transport", "calls/s", "median us", "p99 us", "max us",
                "16 MiB MiB/s");
    std::printf("%-22s %10.0f %10.2f %10.2f %10.0f %14.0f%s\n", "lime (shared memory)", lime.perSecond, lime.median,
                lime.p99, lime.max, limeBulk, limeBulkOk ? "" : " (WRONG COUNT)");
    std::printf("%-22s %10.0f %10.2f %10.2f %10.0f %14.0f%s\n", "unix domain socket", socket.perSecond, socket.median,
                socket.p99, socket.max, socketBulk, acknowledged == kBulkBytes ? "" : " (WRONG COUNT)");
    std::printf("latency ratio lime/socket (median): %.2f; bulk ratio lime/socket: %.2f\n", lime.median / socket.median,
                limeBulk / socketBulk);
    return limeBulkOk && acknowledged == kBulkBytes ? 0 : 1;
}
