// The Sublime process for the Windows tests, where no JVM exists: it plays the Java classes
// Sublime and BufferPool on the fake JVM and drives the library's JNI natives as they would.
// Each LIME_LOOKUP names one of the test functions below (the same set, numbers and results as
// the Java test kit's limetest.Functions); each LIME_CALL runs on a thread of its own and
// replies through returnResult, so replies come back in any order.
//   sublime_host [ID|-]   prints "READY <id>" once clients can connect, "ENDED" when the
//                         request loop is over, then "LATE REPLY freed <n>" and exits 0.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fake_jni.h"
#include "wire_values.h"

extern "C" {
JNIIMPORT void JNICALL Java_com_zeph_plex_Sublime_process(JNIEnv*, jclass);
JNIIMPORT void JNICALL Java_com_zeph_plex_Sublime_returnResult(JNIEnv*, jclass, jbyteArray);
JNIIMPORT void JNICALL Java_com_zeph_plex_Sublime_setSublimeProcessId(JNIEnv*, jclass, jint);
JNIIMPORT jint JNICALL Java_com_zeph_plex_Sublime_getSublimeProcessId(JNIEnv*, jclass);
JNIIMPORT void JNICALL Java_com_zeph_plex_Sublime_stopProcess(JNIEnv*, jclass);
}

namespace {

using limetest::Wire;
using limetest::WireValue;

constexpr int kLookup = 1;
constexpr int kCall = 2;

struct Function {
    std::string name;
    std::vector<int32_t> argTypes;
    int32_t returnType;
    WireValue (*body)(const std::vector<WireValue>& args);
};

std::atomic<int32_t> lastRecorded{0};

WireValue Int(int32_t code, int64_t value) { return WireValue::Scalar(code, value); }
WireValue Real(int32_t code, double value) { return WireValue::Real(code, value); }

template <typename T>
WireValue Reversed(const std::vector<WireValue>& args) {
    WireValue out = args[0];
    std::reverse(out.integers.begin(), out.integers.end());
    std::reverse(out.reals.begin(), out.reals.end());
    return out;
}

// The functions of limetest.Functions, with Java's arithmetic (32-bit wrap, narrowing).
const std::vector<Function>& Functions() {
    static const std::vector<Function> functions = {
        {"nothing", {}, 0, [](const std::vector<WireValue>&) { return WireValue::Void(); }},
        {"record", {3}, 0, [](const std::vector<WireValue>& a) { lastRecorded = static_cast<int32_t>(a[0].i); return WireValue::Void(); }},
        {"lastRecorded", {}, 3, [](const std::vector<WireValue>&) { return Int(3, lastRecorded.load()); }},
        {"negByte", {1}, 1, [](const std::vector<WireValue>& a) { return Int(1, static_cast<int8_t>(-a[0].i)); }},
        {"negShort", {2}, 2, [](const std::vector<WireValue>& a) { return Int(2, static_cast<int16_t>(-a[0].i)); }},
        {"addInt", {3, 3}, 3, [](const std::vector<WireValue>& a) {
             return Int(3, static_cast<int32_t>(static_cast<uint32_t>(a[0].i) + static_cast<uint32_t>(a[1].i)));
         }},
        {"addLong", {4, 4}, 4, [](const std::vector<WireValue>& a) { return Int(4, a[0].i + a[1].i); }},
        {"nextChar", {5}, 5, [](const std::vector<WireValue>& a) { return Int(5, static_cast<uint16_t>(a[0].i + 1)); }},
        {"not", {6}, 6, [](const std::vector<WireValue>& a) { return Int(6, a[0].i != 0 ? 0 : 1); }},
        {"halfFloat", {7}, 7, [](const std::vector<WireValue>& a) { return Real(7, static_cast<float>(a[0].d) / 2); }},
        {"quarterOf", {3}, 7, [](const std::vector<WireValue>& a) { return Real(7, static_cast<float>(a[0].i) / 4.0f); }},
        {"eighthOf", {3}, 8, [](const std::vector<WireValue>& a) { return Real(8, static_cast<double>(a[0].i) / 8.0); }},
        {"halfDouble", {8}, 8, [](const std::vector<WireValue>& a) { return Real(8, a[0].d / 2); }},
        {"mix", {1, 2, 3, 4, 5, 6, 7, 8}, 8, [](const std::vector<WireValue>& a) {
             return Real(8, static_cast<double>(a[0].i) * 1e0 + static_cast<double>(a[1].i) * 1e1 +
                                static_cast<double>(a[2].i) * 1e2 + static_cast<double>(a[3].i) * 1e3 +
                                static_cast<double>(a[4].i) * 1e4 + (a[5].i != 0 ? 1e5 : 0) +
                                static_cast<float>(a[6].d) + a[7].d);
         }},
        {"mixIntegers", {1, 2, 3, 4, 5, 6}, 4, [](const std::vector<WireValue>& a) {
             return Int(4, a[0].i + a[1].i * 10 + a[2].i * 100 + a[3].i * 1000 + a[4].i * 10000 + (a[5].i != 0 ? 100000 : 0));
         }},
        {"reverseBytes", {0x11}, 0x11, Reversed<int8_t>},
        {"reverseShorts", {0x12}, 0x12, Reversed<int16_t>},
        {"reverseInts", {0x13}, 0x13, Reversed<int32_t>},
        {"reverseLongs", {0x14}, 0x14, Reversed<int64_t>},
        {"reverseChars", {0x15}, 0x15, Reversed<uint16_t>},
        {"reverseBooleans", {0x16}, 0x16, Reversed<int32_t>},
        {"reverseFloats", {0x17}, 0x17, [](const std::vector<WireValue>& a) {
             WireValue out = Reversed<double>(a);
             for (double& v : out.reals) v = static_cast<float>(v);
             return out;
         }},
        {"reverseDoubles", {0x18}, 0x18, Reversed<double>},
        {"lengthOf", {0x13}, 3, [](const std::vector<WireValue>& a) {
             return Int(3, a[0].isNull ? -1 : static_cast<int64_t>(a[0].integers.size()));
         }},
        {"checksum", {0x11}, 4, [](const std::vector<WireValue>& a) {
             int64_t sum = 0;
             for (size_t k = 0; k < a[0].integers.size(); ++k) sum += static_cast<int64_t>(k + 1) * a[0].integers[k];
             return Int(4, sum);
         }},
        {"makeBytes", {3, 3}, 0x11, [](const std::vector<WireValue>& a) {
             WireValue out = WireValue::Array(0x11);
             uint32_t x = static_cast<uint32_t>(a[1].i);
             for (int64_t k = 0; k < a[0].i; ++k) {
                 x = x * 1103515245u + 12345u;
                 out.integers.push_back(static_cast<int8_t>(x >> 16));
             }
             return out;
         }},
        {"slowEcho", {3, 3}, 3, [](const std::vector<WireValue>& a) {
             std::this_thread::sleep_for(std::chrono::milliseconds(a[0].i));
             return Int(3, a[1].i);
         }},
    };
    return functions;
}

fakejni::Jvm& jvm = fakejni::Jvm::Instance();
jclass sublimeClass = nullptr;
std::atomic<long> freed{0};
std::mutex initLock;
std::condition_variable initDone;
bool initialised = false;

void Reply(int32_t threadId, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> record;
    Wire::PutInt(record, threadId);
    Wire::PutInt(record, static_cast<int32_t>(payload.size()));
    record.insert(record.end(), payload.begin(), payload.end());
    jarray array = jvm.NewArray('B', record.data(), record.size());
    Java_com_zeph_plex_Sublime_returnResult(jvm.Env(), sublimeClass, static_cast<jbyteArray>(array));
}

std::vector<uint8_t> LookupReply(const std::string& text) {
    std::vector<uint8_t> out;
    const std::string prefix = "limetest\nFunctions\n";
    const auto& functions = Functions();
    for (size_t id = 0; id < functions.size(); ++id) {
        if (text == prefix + functions[id].name + "\n") {
            Wire::PutInt(out, static_cast<int32_t>(id));
            Wire::PutInt(out, static_cast<int32_t>(functions[id].argTypes.size()));
            for (int32_t code : functions[id].argTypes) Wire::PutInt(out, code);
            Wire::PutInt(out, functions[id].returnType);
            return out;
        }
    }
    std::fprintf(stderr, "Sublime: no Lime function %s\n", text.c_str());
    Wire::PutInt(out, -1);
    Wire::PutInt(out, 0);
    Wire::PutInt(out, 0);
    return out;
}

void ProcessRequest(const std::vector<uint8_t>& request) {
    Wire in(request);
    const int32_t threadId = in.Int();
    const int32_t length = in.Int();
    const int32_t type = in.Int();
    if (type == kLookup) {
        Reply(threadId, LookupReply(std::string(request.begin() + 12, request.begin() + 8 + length)));
        return;
    }
    if (type != kCall) {
        std::fprintf(stderr, "Sublime: unknown request type %d\n", type);
        return;
    }
    const int32_t id = in.Int();
    if (id < 0 || static_cast<size_t>(id) >= Functions().size()) {
        std::fprintf(stderr, "Sublime: call of unknown function #%d\n", id);
        Reply(threadId, {});
        return;
    }
    const Function& function = Functions()[static_cast<size_t>(id)];
    std::vector<WireValue> args;
    for (int32_t code : function.argTypes) {
        args.push_back(in.Value(code));
    }
    std::thread([threadId, &function, args] { Reply(threadId, Wire::Encode(function.body(args))); }).detach();
}

void DefineJavaSide() {
    jvm.DefineStatic("com/zeph/plex/sublime/BufferPool", "getBuffer", "(I)[B", [](const std::vector<jvalue>& a) {
        jvalue v{};
        v.l = jvm.NewArray('B', nullptr, static_cast<size_t>(a[0].i));
        return v;
    });
    jvm.DefineStatic("com/zeph/plex/sublime/BufferPool", "freeBuffer", "([B)V", [](const std::vector<jvalue>&) {
        ++freed;
        return jvalue{};
    });
    jvm.DefineStatic("com/zeph/plex/Sublime", "releaseInitLock", "()V", [](const std::vector<jvalue>&) {
        std::lock_guard<std::mutex> guard(initLock);
        initialised = true;
        initDone.notify_all();
        return jvalue{};
    });
    jvm.DefineStatic("com/zeph/plex/Sublime", "processRequest", "([B)V", [](const std::vector<jvalue>& a) {
        ProcessRequest(jvm.ArrayBytes(a[0].l));
        return jvalue{};
    });
    sublimeClass = jvm.Env()->FindClass("com/zeph/plex/Sublime");
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    DefineJavaSide();
    JNIEnv* env = jvm.Env();
    if (argc > 1 && std::strcmp(argv[1], "-") != 0) {
        Java_com_zeph_plex_Sublime_setSublimeProcessId(env, sublimeClass, std::atoi(argv[1]));
    }
    std::thread process([env] { Java_com_zeph_plex_Sublime_process(env, sublimeClass); });
    {
        std::unique_lock<std::mutex> guard(initLock);
        initDone.wait(guard, [] { return initialised; });
    }
    std::printf("READY %ld\n", static_cast<long>(Java_com_zeph_plex_Sublime_getSublimeProcessId(env, sublimeClass)));
    process.join();
    std::printf("ENDED\n");
    // A reply after the end must be dropped without touching the pool.
    const long before = freed.load();
    Reply(1, {});
    std::printf("LATE REPLY freed %ld\n", freed.load() - before);
    return 0;
}
