// A Lime client as a JVM would be one, for the Windows tests: it calls the test functions of
// the Sublime host through the JNI natives of LimeFunction, on the fake JVM, with boxed
// arguments, every array type, null arrays, records larger than the ring, and many threads.
// Prints each failed check, then "JNI CLIENT OK" or "JNI CLIENT FAILED n".
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "fake_jni.h"

extern "C" {
JNIIMPORT jlong JNICALL Java_com_zeph_plex_lime_LimeFunction_newLimeFunction(JNIEnv*, jclass, jstring, jstring, jstring);
JNIIMPORT jobject JNICALL Java_com_zeph_plex_lime_LimeFunction_invokeLimeFunction(JNIEnv*, jclass, jlong, jobjectArray);
JNIIMPORT void JNICALL Java_com_zeph_plex_lime_LimeFunction_deleteLimeFunction(JNIEnv*, jclass, jlong);
void EndLime(void);
}

namespace {

fakejni::Jvm& jvm = fakejni::Jvm::Instance();
std::atomic<int> failures{0};

void Check(bool ok, const std::string& what) {
    if (!ok) {
        ++failures;
        std::printf("FAIL %s\n", what.c_str());
    }
}

jstring S(const char* text) { return jvm.NewString(std::u16string(text, text + std::strlen(text))); }

jlong Lookup(const char* method) {
    return Java_com_zeph_plex_lime_LimeFunction_newLimeFunction(jvm.Env(), nullptr, S("limetest"), S("Functions"),
                                                                S(method));
}

jobject Invoke(jlong f, const std::vector<jobject>& args) {
    return Java_com_zeph_plex_lime_LimeFunction_invokeLimeFunction(jvm.Env(), nullptr, f,
                                                                   jvm.NewObjectArray("java/lang/Object", args));
}

jobject Box(char type, int64_t value) {
    jvalue v{};
    switch (type) {
    case 'B': v.b = static_cast<jbyte>(value); break;
    case 'S': v.s = static_cast<jshort>(value); break;
    case 'C': v.c = static_cast<jchar>(value); break;
    case 'Z': v.z = static_cast<jboolean>(value); break;
    case 'J': v.j = value; break;
    default: v.i = static_cast<jint>(value); break;
    }
    return jvm.Box(type, v);
}

template <typename T>
jobject Array(char element, std::vector<T> values) {
    return jvm.NewArray(element, values.data(), values.size());
}

template <typename T>
std::vector<T> Elements(jobject array) {
    std::vector<uint8_t> bytes = jvm.ArrayBytes(array);
    std::vector<T> out(bytes.size() / sizeof(T));
    std::memcpy(out.data(), bytes.data(), bytes.size());
    return out;
}

void CheckBox(jobject result, const char* cls, int64_t expected, const char* what) {
    bool ok = result != nullptr && jvm.ClassOf(result) == cls;
    if (ok) {
        jvalue v = jvm.Unbox(result);
        const std::string c = cls;
        int64_t got = c == "java/lang/Byte" ? v.b : c == "java/lang/Short" ? v.s : c == "java/lang/Character" ? v.c
                    : c == "java/lang/Boolean" ? v.z : c == "java/lang/Long" ? v.j : v.i;
        ok = got == expected;
    }
    Check(ok, what);
}

template <typename T>
void ReverseCheck(const char* method, char element, std::vector<T> values, const char* what) {
    jlong f = Lookup(method);
    jobject result = Invoke(f, {Array(element, values)});
    std::vector<T> expected(values.rbegin(), values.rend());
    Check(result != nullptr && jvm.ArrayElement(result) == element && Elements<T>(result) == expected, what);
    Java_com_zeph_plex_lime_LimeFunction_deleteLimeFunction(jvm.Env(), nullptr, f);
}

void Scalars() {
    jlong nothing = Lookup("nothing"), record = Lookup("record"), last = Lookup("lastRecorded");
    Check(Invoke(nothing, {}) == nullptr, "void result");
    Check(Invoke(record, {Box('I', 41)}) == nullptr, "void with argument");
    CheckBox(Invoke(last, {}), "java/lang/Integer", 41, "recorded");
    CheckBox(Invoke(Lookup("negByte"), {Box('B', -127)}), "java/lang/Byte", 127, "byte");
    CheckBox(Invoke(Lookup("negShort"), {Box('S', 30000)}), "java/lang/Short", -30000, "short");
    CheckBox(Invoke(Lookup("addInt"), {Box('I', INT32_MAX), Box('I', INT32_MAX)}), "java/lang/Integer", -2, "int");
    CheckBox(Invoke(Lookup("addLong"), {Box('J', int64_t{1} << 39), Box('J', int64_t{1} << 39)}), "java/lang/Long",
             int64_t{1} << 40, "long");
    CheckBox(Invoke(Lookup("nextChar"), {Box('C', 0x1234)}), "java/lang/Character", 0x1235, "char");
    CheckBox(Invoke(Lookup("not"), {Box('Z', 1)}), "java/lang/Boolean", 0, "boolean");
    jobject quarter = Invoke(Lookup("quarterOf"), {Box('I', 3)});
    Check(quarter != nullptr && jvm.ClassOf(quarter) == "java/lang/Float" && jvm.Unbox(quarter).f == 0.75f, "float result");
    jobject eighth = Invoke(Lookup("eighthOf"), {Box('I', -1)});
    Check(eighth != nullptr && jvm.ClassOf(eighth) == "java/lang/Double" && jvm.Unbox(eighth).d == -0.125, "double result");
    CheckBox(Invoke(Lookup("mixIntegers"), {Box('B', -1), Box('S', 2), Box('I', 3), Box('J', 4000), Box('C', 'A'), Box('Z', 1)}),
             "java/lang/Long", -1 + 20 + 300 + 4000 * 1000 + 'A' * 10000 + 100000, "every integer scalar");
    // A wrong argument type is refused with an exception, and the function still works.
    jlong addInt = Lookup("addInt");
    Check(Invoke(addInt, {S("one"), Box('I', 2)}) == nullptr, "wrong type gives no result");
    auto refused = jvm.TakeException();
    Check(refused && refused->className == "java/lang/IllegalArgumentException", "wrong type is refused");
    CheckBox(Invoke(addInt, {Box('I', 1), Box('I', 2)}), "java/lang/Integer", 3, "still works after a refusal");
}

void Arrays() {
    ReverseCheck<int8_t>("reverseBytes", 'B', {1, -2, 3}, "byte[]");
    ReverseCheck<int16_t>("reverseShorts", 'S', {200, -300}, "short[]");
    ReverseCheck<int32_t>("reverseInts", 'I', {1, 2, 3}, "int[]");
    ReverseCheck<int64_t>("reverseLongs", 'J', {7, -(int64_t{1} << 50)}, "long[]");
    ReverseCheck<uint16_t>("reverseChars", 'C', {0xe9, 'z'}, "char[]");
    ReverseCheck<uint8_t>("reverseBooleans", 'Z', {1, 1, 0}, "boolean[]");
    ReverseCheck<float>("reverseFloats", 'F', {1.5f, -0.25f}, "float[]");
    ReverseCheck<double>("reverseDoubles", 'D', {-2.5, 1e300}, "double[]");
    ReverseCheck<int32_t>("reverseInts", 'I', {}, "empty int[]");
    CheckBox(Invoke(Lookup("lengthOf"), {nullptr}), "java/lang/Integer", -1, "null int[] argument");
    Check(Invoke(Lookup("reverseInts"), {nullptr}) == nullptr, "null array result");
}

void BigRecords() {
    const int n = 3 * 1024 * 1024 + 17;
    jobject big = Invoke(Lookup("makeBytes"), {Box('I', n), Box('I', 99)});
    std::vector<int8_t> bytes = big != nullptr ? Elements<int8_t>(big) : std::vector<int8_t>();
    Check(static_cast<int>(bytes.size()) == n, "big result length");
    int64_t sum = 0;
    uint32_t x = 99;
    for (int k = 0; k < n; ++k) {
        x = x * 1103515245u + 12345u;
        sum += (k + 1LL) * static_cast<int8_t>(x >> 16);
    }
    CheckBox(Invoke(Lookup("checksum"), {big}), "java/lang/Long", sum, "big argument");
}

void ManyThreads(int count) {
    jlong slow = Lookup("slowEcho");
    std::atomic<int> order{0};
    std::vector<int> finished(static_cast<size_t>(count));
    std::vector<std::thread> threads;
    for (int k = 0; k < count; ++k) {
        threads.emplace_back([&, k] {
            jobject got = Invoke(slow, {Box('I', 40 * (count - k)), Box('I', k)});
            finished[static_cast<size_t>(k)] = ++order;
            CheckBox(got, "java/lang/Integer", k, "reply reached its own thread");
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (auto& t : threads) t.join();
    Check(finished[0] == count, "replies out of order");
}

} // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Scalars();
    Arrays();
    BigRecords();
    ManyThreads(12);
    EndLime();
    std::printf(failures == 0 ? "JNI CLIENT OK\n" : "JNI CLIENT FAILED %d\n", failures.load());
    return failures == 0 ? 0 : 1;
}
