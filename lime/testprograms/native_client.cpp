// A native Lime client for the integration tests: calls the Java methods of limetest.Functions
// in the Sublime host through the library's exports, with every argument and result type and
// from many threads at once.
//   lime_native_client [all]      the whole battery, then EndLime; "NATIVE CLIENT OK" or failures
//   lime_native_client wait-stop FILE  one call, "CALLED", waits until FILE exists, calls again
//   lime_native_client trace      one traced call with a 20-element int array
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "sublime.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
    if (!ok) {
        ++failures;
        std::printf("FAIL %s\n", what);
    }
}

LimeFunction* Lookup(const char* method) { return NewLimeFunction("limetest", "Functions", method); }

std::vector<int8_t> MakeBytes(int n, int seed) {
    std::vector<int8_t> bytes(static_cast<size_t>(n));
    uint32_t x = static_cast<uint32_t>(seed);
    for (int k = 0; k < n; ++k) {
        x = x * 1103515245u + 12345u;
        bytes[static_cast<size_t>(k)] = static_cast<int8_t>(x >> 16);
    }
    return bytes;
}

int64_t Checksum(const int8_t* bytes, int n) {
    int64_t sum = 0;
    for (int k = 0; k < n; ++k) {
        sum += (k + 1LL) * bytes[k];
    }
    return sum;
}

void Scalars() {
    LimeFunction* nothing = Lookup("nothing");
    nothing->call(nothing, nullptr);
    LimeFunction* record = Lookup("record");
    record->call(record, nullptr, 41);
    LimeFunction* last = Lookup("lastRecorded");
    int32_t recorded = 0;
    last->call(last, &recorded);
    Check(recorded == 41, "void call with an argument");

    int32_t i = 0;
    LimeFunction* negByte = Lookup("negByte");
    negByte->call(negByte, &i, -127);
    Check(i == 127, "byte");
    LimeFunction* negShort = Lookup("negShort");
    negShort->call(negShort, &i, 30000);
    Check(i == -30000, "short");
    LimeFunction* addInt = Lookup("addInt");
    addInt->call(addInt, &i, INT32_MAX, INT32_MAX);
    Check(i == -2, "int");
    LimeFunction* nextChar = Lookup("nextChar");
    nextChar->call(nextChar, &i, 0x1234);
    Check(i == 0x1235, "char");
    LimeFunction* negate = Lookup("not");
    negate->call(negate, &i, 1);
    Check(i == 0, "boolean");
    int64_t l = 0;
    LimeFunction* addLong = Lookup("addLong");
    addLong->call(addLong, &l, int64_t{1} << 39, int64_t{1} << 39);
    Check(l == int64_t{1} << 40, "long");
    float f = 0;
    LimeFunction* halfFloat = Lookup("halfFloat");
    halfFloat->call(halfFloat, &f, 3.0);
    Check(f == 1.5f, "float");
    double d = 0;
    LimeFunction* halfDouble = Lookup("halfDouble");
    halfDouble->call(halfDouble, &d, 1e300);
    Check(d == 5e299, "double");
    LimeFunction* mix = Lookup("mix");
    mix->call(mix, &d, -1, 2, 3, int64_t{4000}, 'A', 1, 0.25, 0.5);
    Check(d == -1 + 20 + 300 + 4000e3 + 'A' * 1e4 + 1e5 + 0.75, "every scalar type in one call");
    // A null result pointer skips the store.
    addInt->call(addInt, nullptr, 1, 2);
    for (LimeFunction* fn : {nothing, record, last, negByte, negShort, addInt, nextChar, negate, addLong, halfFloat,
                             halfDouble, mix}) {
        DeleteLimeFunction(fn);
    }
}

template <typename T>
void ReverseCheck(const char* method, std::vector<T> values, const char* what) {
    LimeFunction* fn = Lookup(method);
    T* result = nullptr;
    int count = -5;
    fn->call(fn, &result, &count, values.data(), static_cast<int>(values.size()));
    bool ok = count == static_cast<int>(values.size()) && result != nullptr;
    for (size_t k = 0; ok && k < values.size(); ++k) {
        ok = std::memcmp(&result[k], &values[values.size() - 1 - k], sizeof(T)) == 0;
    }
    Check(ok, what);
    DeleteLimeFunction(fn);
}

void Arrays() {
    ReverseCheck<int8_t>("reverseBytes", {1, -2, 3}, "byte[]");
    ReverseCheck<int16_t>("reverseShorts", {200, -300}, "short[]");
    ReverseCheck<int32_t>("reverseInts", {1, 2, 3, -4}, "int[]");
    ReverseCheck<int64_t>("reverseLongs", {7, -(int64_t{1} << 50)}, "long[]");
    ReverseCheck<uint16_t>("reverseChars", {0xe9, 'z', 0xffff}, "char[]");
    ReverseCheck<int32_t>("reverseBooleans", {1, 1, 0}, "boolean[] (4-byte elements)");
    ReverseCheck<double>("reverseFloats", {1.5, -0.25}, "float[] (held as doubles)");
    ReverseCheck<double>("reverseDoubles", {-2.5, 1e300}, "double[]");

    LimeFunction* lengthOf = Lookup("lengthOf");
    int32_t n = 0;
    lengthOf->call(lengthOf, &n, nullptr, 0);
    Check(n == -1, "null array argument");
    int32_t empty[1] = {0};
    lengthOf->call(lengthOf, &n, empty, 0);
    Check(n == 0, "empty array argument");
    LimeFunction* ints = Lookup("reverseInts");
    int32_t* result = empty;
    int count = 9;
    ints->call(ints, &result, &count, nullptr, 0);
    Check(result == nullptr && count == 0, "null array result");
    DeleteLimeFunction(lengthOf);
    DeleteLimeFunction(ints);
}

void BigRecords() {
    // Larger than the ring's data area, in both directions.
    const int n = 3 * 1024 * 1024 + 17;
    std::vector<int8_t> expected = MakeBytes(n, 99);
    LimeFunction* make = Lookup("makeBytes");
    int8_t* bytes = nullptr;
    int count = 0;
    make->call(make, &bytes, &count, n, 99);
    Check(count == n && bytes != nullptr && std::memcmp(bytes, expected.data(), static_cast<size_t>(n)) == 0,
          "big array result");
    LimeFunction* checksum = Lookup("checksum");
    int64_t sum = 0;
    checksum->call(checksum, &sum, expected.data(), n);
    Check(sum == Checksum(expected.data(), n), "big array argument");
    DeleteLimeFunction(make);
    DeleteLimeFunction(checksum);
}

void ManyThreads(int count) {
    LimeFunction* slow = Lookup("slowEcho");
    std::atomic<int> order{0};
    std::vector<int> finished(static_cast<size_t>(count));
    std::vector<int> tags(static_cast<size_t>(count), -1);
    std::vector<std::thread> threads;
    for (int k = 0; k < count; ++k) {
        threads.emplace_back([&, k] {
            int32_t tag = -1;
            slow->call(slow, &tag, 40 * (count - k), k);
            tags[static_cast<size_t>(k)] = tag;
            finished[static_cast<size_t>(k)] = ++order;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (auto& t : threads) {
        t.join();
    }
    for (int k = 0; k < count; ++k) {
        Check(tags[static_cast<size_t>(k)] == k, "reply reached its own thread");
    }
    Check(finished[0] == count, "replies out of order");
    DeleteLimeFunction(slow);
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string mode = argc > 1 ? argv[1] : "all";
    if (mode == "wait-stop") {
        LimeFunction* addInt = Lookup("addInt");
        int32_t i = 0;
        addInt->call(addInt, &i, 1, 2);
        std::printf("CALLED %d\n", i);
        if (argc < 3) {
            return 2;
        }
        while (!std::filesystem::exists(argv[2])) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        addInt->call(addInt, &i, 1, 2);
        std::printf("CALLED AGAIN %d\n", i);
        return 0;
    }
    if (mode == "trace") {
        LimeFunction* ints = Lookup("reverseInts");
        std::vector<int32_t> values(20);
        for (int k = 0; k < 20; ++k) {
            values[static_cast<size_t>(k)] = k;
        }
        int32_t* result = nullptr;
        int count = 0;
        ints->call(ints, &result, &count, values.data(), 20);
        EndLime();
        return 0;
    }
    StartLime();
    StartLime(); // a second start while connected does nothing
    Scalars();
    Arrays();
    BigRecords();
    ManyThreads(12);
    EndLime();
    std::printf(failures == 0 ? "NATIVE CLIENT OK\n" : "NATIVE CLIENT FAILED\n");
    return failures == 0 ? 0 : 1;
}
