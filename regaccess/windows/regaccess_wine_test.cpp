// regaccess-x64.dll against the registry of Windows (Wine here), driven as the toolkit's JVM
// drives it: every native through the fake JVM, every value type, keys made, listed and
// deleted, the failure messages, the two registry views under HKLM\Software, and many threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "fake_jni.h"
#include "platform/env.h"

#define NATIVE(name) Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_##name
extern "C" {
JNIIMPORT jboolean JNICALL NATIVE(checkKeyAccess0)(JNIEnv*, jclass, jint, jint, jstring, jboolean);
JNIIMPORT jboolean JNICALL NATIVE(valueExists0)(JNIEnv*, jclass, jint, jint, jstring, jstring);
JNIIMPORT jboolean JNICALL NATIVE(keyEmpty0)(JNIEnv*, jclass, jint, jint, jstring);
JNIIMPORT jint JNICALL NATIVE(countSubKeys0)(JNIEnv*, jclass, jint, jint, jstring);
JNIIMPORT jint JNICALL NATIVE(countValues0)(JNIEnv*, jclass, jint, jint, jstring);
JNIIMPORT jobjectArray JNICALL NATIVE(getSubkeyNames0)(JNIEnv*, jclass, jint, jint, jstring);
JNIIMPORT jobjectArray JNICALL NATIVE(getValueNames0)(JNIEnv*, jclass, jint, jint, jstring);
JNIIMPORT jint JNICALL NATIVE(getValueType0)(JNIEnv*, jclass, jint, jint, jstring, jstring);
JNIIMPORT void JNICALL NATIVE(createKey0)(JNIEnv*, jclass, jint, jint, jstring, jstring);
JNIIMPORT void JNICALL NATIVE(deleteKey0)(JNIEnv*, jclass, jint, jint, jstring, jstring);
JNIIMPORT void JNICALL NATIVE(deleteValue0)(JNIEnv*, jclass, jint, jint, jstring, jstring);
JNIIMPORT jboolean JNICALL NATIVE(IsWow64Process0)(JNIEnv*, jclass);
JNIIMPORT jstring JNICALL NATIVE(getStringValue0)(JNIEnv*, jclass, jint, jint, jstring, jstring, jboolean);
JNIIMPORT void JNICALL NATIVE(setStringValue0)(JNIEnv*, jclass, jint, jint, jstring, jstring, jstring, jboolean);
JNIIMPORT jint JNICALL NATIVE(get32BitValue0)(JNIEnv*, jclass, jint, jint, jstring, jstring);
JNIIMPORT void JNICALL NATIVE(set32BitValue0)(JNIEnv*, jclass, jint, jint, jstring, jstring, jint);
JNIIMPORT jobjectArray JNICALL NATIVE(getMultiStringValue0)(JNIEnv*, jclass, jint, jint, jstring, jstring);
JNIIMPORT void JNICALL NATIVE(setMultiStringValue0)(JNIEnv*, jclass, jint, jint, jstring, jstring, jobjectArray);
JNIIMPORT jbyteArray JNICALL NATIVE(getBinaryValue0)(JNIEnv*, jclass, jint, jint, jstring, jstring);
JNIIMPORT void JNICALL NATIVE(setBinaryValue0)(JNIEnv*, jclass, jint, jint, jstring, jstring, jbyteArray);
JNIIMPORT void JNICALL NATIVE(setNoneValue0)(JNIEnv*, jclass, jint, jint, jstring, jstring, jbyteArray);
}

namespace {

constexpr jint kDefaultView = 0, k32 = 1, k64 = 2;
constexpr jint kCurrentUser = 1, kLocalMachine = 2;

fakejni::Jvm& jvm = fakejni::Jvm::Instance();
JNIEnv* Env() { return jvm.Env(); }

jstring J(const std::string& text) { return jvm.NewString(std::u16string(text.begin(), text.end())); }
std::string Utf8(jobject text) {
    if (text == nullptr) return "(null)";
    std::u16string wide = jvm.Text(static_cast<jstring>(text));
    return std::string(wide.begin(), wide.end());
}
std::vector<std::string> Strings(jobjectArray array) {
    std::vector<std::string> out;
    if (array == nullptr) return {"(null)"};
    for (jobject e : jvm.Elements(array)) out.push_back(Utf8(e));
    return out;
}
// The message of the NativeException the last call threw, "" when none.
std::string Thrown() {
    auto exception = jvm.TakeException();
    if (!exception) return "";
    EXPECT_EQ(exception->className, "com/zeph/pinewood/toolkit/util/regaccess/NativeException");
    return exception->message;
}

class RegaccessWine : public testing::Test {
protected:
    void SetUp() override {
        key_ = "modlink-test-" + std::to_string(platform::CurrentProcessId()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name();
        path_ = "Software\\" + key_;
        NATIVE(createKey0)(Env(), nullptr, kDefaultView, kCurrentUser, J("Software"), J(key_));
        ASSERT_EQ(Thrown(), "");
    }
    void TearDown() override {
        for (const std::string& sub : Strings(NATIVE(getSubkeyNames0)(Env(), nullptr, 0, kCurrentUser, J(path_)))) {
            NATIVE(deleteKey0)(Env(), nullptr, 0, kCurrentUser, J(path_), J(sub));
        }
        NATIVE(deleteKey0)(Env(), nullptr, 0, kCurrentUser, J("Software"), J(key_));
        jvm.TakeException();
    }
    std::string key_;
    std::string path_;
};

TEST_F(RegaccessWine, EveryValueTypeRoundTrips) {
    NATIVE(setStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("text"), J("h\xe9llo"), false);
    EXPECT_EQ(Utf8(NATIVE(getStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("text"), false)), "h\xe9llo");
    EXPECT_EQ(NATIVE(getValueType0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("text")), 1);

    platform::SetEnv("MODLINK_REGACCESS_HOME", "C:\\toolkit");
    NATIVE(setStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("expand"), J("%MODLINK_REGACCESS_HOME%\\bin"), true);
    EXPECT_EQ(NATIVE(getValueType0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("expand")), 2);
    EXPECT_EQ(Utf8(NATIVE(getStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("expand"), true)), "C:\\toolkit\\bin");
    EXPECT_EQ(Utf8(NATIVE(getStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("expand"), false)),
              "%MODLINK_REGACCESS_HOME%\\bin");

    // An empty string is a value of size 0; the unnamed default value is addressed by null.
    NATIVE(setStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("empty"), J(""), false);
    EXPECT_EQ(Utf8(NATIVE(getStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("empty"), false)), "");
    NATIVE(setStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), nullptr, J("default"), false);
    EXPECT_EQ(Utf8(NATIVE(getStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), nullptr, false)), "default");

    NATIVE(set32BitValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("dword"), 0x12345678);
    EXPECT_EQ(NATIVE(get32BitValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("dword")), 0x12345678);
    EXPECT_EQ(NATIVE(getValueType0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("dword")), 4);
    // -1 is both a stored value and the failure value: only the exception tells them apart.
    NATIVE(set32BitValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("ones"), -1);
    EXPECT_EQ(NATIVE(get32BitValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("ones")), -1);
    EXPECT_EQ(Thrown(), "");

    const unsigned char bytes[] = {0, 1, 0xfe, 0xff, 0};
    NATIVE(setBinaryValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("binary"),
                            static_cast<jbyteArray>(jvm.NewArray('B', bytes, sizeof bytes)));
    jbyteArray read = NATIVE(getBinaryValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("binary"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(jvm.ArrayBytes(read), std::vector<uint8_t>(bytes, bytes + sizeof bytes));
    NATIVE(setNoneValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("none"),
                          static_cast<jbyteArray>(jvm.NewArray('B', bytes, 2)));
    EXPECT_EQ(NATIVE(getValueType0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("none")), 0);
    EXPECT_EQ(jvm.ArrayBytes(NATIVE(getBinaryValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("none"))).size(), 2u);

    NATIVE(setMultiStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("multi"),
                                 jvm.NewObjectArray("java/lang/String", {J("a"), J("bc")}));
    EXPECT_EQ(NATIVE(getValueType0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("multi")), 7);
    EXPECT_EQ(Strings(NATIVE(getMultiStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("multi"))),
              (std::vector<std::string>{"a", "bc"}));
    // An empty piece ends the list: what follows it is not returned.
    NATIVE(setMultiStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("gap"),
                                 jvm.NewObjectArray("java/lang/String", {J("a"), J(""), J("b")}));
    EXPECT_EQ(Strings(NATIVE(getMultiStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("gap"))),
              (std::vector<std::string>{"a"}));
    EXPECT_EQ(Thrown(), "");
}

TEST_F(RegaccessWine, WrongTypesAndMissingKeysThrowTheirMessages) {
    NATIVE(set32BitValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("dword"), 5);
    NATIVE(setStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("text"), J("x"), false);
    EXPECT_EQ(NATIVE(getStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("dword"), false), nullptr);
    EXPECT_EQ(Thrown(), "Value has wrong type");
    EXPECT_EQ(NATIVE(get32BitValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("text")), -1);
    EXPECT_EQ(Thrown(), "Value is of wrong type");
    EXPECT_EQ(NATIVE(getMultiStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("text")), nullptr);
    EXPECT_EQ(Thrown(), "Value is of wrong type");
    EXPECT_EQ(NATIVE(getBinaryValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("text")), nullptr);
    EXPECT_EQ(Thrown(), "Value is of wrong type");
    EXPECT_EQ(NATIVE(getStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("absent"), false), nullptr);
    EXPECT_EQ(Thrown(), "Cannot read value");

    const std::string missing = path_ + "\\missing";
    EXPECT_FALSE(NATIVE(keyEmpty0)(Env(), nullptr, 0, kCurrentUser, J(missing)));
    EXPECT_EQ(Thrown(), "Cannot open key");
    NATIVE(deleteValue0)(Env(), nullptr, 0, kCurrentUser, J(missing), J("x"));
    EXPECT_EQ(Thrown(), "Canont open key");
    NATIVE(deleteValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("absent"));
    EXPECT_EQ(Thrown(), "Cannot delete value");
    NATIVE(createKey0)(Env(), nullptr, 0, kCurrentUser, J(missing), J("child"));
    EXPECT_EQ(Thrown(), "Could not open the parent key");
    EXPECT_EQ(NATIVE(get32BitValue0)(Env(), nullptr, 0, kCurrentUser, J(missing), J("x")), -1);
    EXPECT_EQ(Thrown(), "Could not open key");
    NATIVE(setStringValue0)(Env(), nullptr, 0, kCurrentUser, J(missing), J("x"), J("y"), false);
    EXPECT_EQ(Thrown(), "Could not set value");
    NATIVE(set32BitValue0)(Env(), nullptr, 0, kCurrentUser, J(missing), J("x"), 1);
    EXPECT_EQ(Thrown(), "Cannot set value");
    EXPECT_EQ(NATIVE(countSubKeys0)(Env(), nullptr, 0, kCurrentUser, J(missing)), 0);
    EXPECT_EQ(Thrown(), "Cannot open key");
    EXPECT_EQ(NATIVE(getValueType0)(Env(), nullptr, 0, 9, J(path_), J("text")), 0);
    EXPECT_EQ(Thrown(), "Cannot open key");
    EXPECT_FALSE(NATIVE(checkKeyAccess0)(Env(), nullptr, 0, kCurrentUser, J(missing), false));
    EXPECT_EQ(Thrown(), "");
}

TEST_F(RegaccessWine, KeysAreMadeListedAndDeleted) {
    EXPECT_TRUE(NATIVE(keyEmpty0)(Env(), nullptr, 0, kCurrentUser, J(path_)));
    EXPECT_TRUE(NATIVE(checkKeyAccess0)(Env(), nullptr, 0, kCurrentUser, J(path_), true));
    // A null path addresses the root key itself.
    EXPECT_TRUE(NATIVE(checkKeyAccess0)(Env(), nullptr, 0, kCurrentUser, nullptr, false));
    for (const char* sub : {"beta", "alpha", "gamma"}) {
        NATIVE(createKey0)(Env(), nullptr, 0, kCurrentUser, J(path_), J(sub));
    }
    NATIVE(createKey0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("alpha")); // exists: opened
    NATIVE(createKey0)(Env(), nullptr, 0, kCurrentUser, J(path_ + "\\alpha"), J("deep"));
    EXPECT_EQ(Thrown(), "");
    EXPECT_EQ(NATIVE(countSubKeys0)(Env(), nullptr, 0, kCurrentUser, J(path_)), 3);
    EXPECT_EQ(Strings(NATIVE(getSubkeyNames0)(Env(), nullptr, 0, kCurrentUser, J(path_))),
              (std::vector<std::string>{"alpha", "beta", "gamma"}));
    NATIVE(set32BitValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("one"), 1);
    NATIVE(set32BitValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("two"), 2);
    EXPECT_EQ(NATIVE(countValues0)(Env(), nullptr, 0, kCurrentUser, J(path_)), 2);
    EXPECT_EQ(Strings(NATIVE(getValueNames0)(Env(), nullptr, 0, kCurrentUser, J(path_))),
              (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(NATIVE(valueExists0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("ONE")));
    NATIVE(deleteValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("one"));
    EXPECT_FALSE(NATIVE(valueExists0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("one")));
    EXPECT_FALSE(NATIVE(keyEmpty0)(Env(), nullptr, 0, kCurrentUser, J(path_)));
    // Only a key without subkeys can be deleted.
    NATIVE(deleteKey0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("alpha"));
    EXPECT_EQ(Thrown(), "Could not delete key");
    NATIVE(deleteKey0)(Env(), nullptr, 0, kCurrentUser, J(path_ + "\\alpha"), J("deep"));
    NATIVE(deleteKey0)(Env(), nullptr, 0, kCurrentUser, J(path_), J("alpha"));
    EXPECT_EQ(Thrown(), "");
    EXPECT_EQ(NATIVE(countSubKeys0)(Env(), nullptr, 0, kCurrentUser, J(path_)), 2);
    EXPECT_FALSE(NATIVE(IsWow64Process0)(Env(), nullptr));
}

TEST_F(RegaccessWine, The32And64BitViewsOfTheMachineSoftwareKeyAreApart) {
    const std::string name = "modlink-view-" + std::to_string(platform::CurrentProcessId());
    NATIVE(createKey0)(Env(), nullptr, k32, kLocalMachine, J("Software"), J(name));
    ASSERT_EQ(Thrown(), "");
    const std::string path = "Software\\" + name;
    EXPECT_TRUE(NATIVE(checkKeyAccess0)(Env(), nullptr, k32, kLocalMachine, J(path), false));
    EXPECT_FALSE(NATIVE(checkKeyAccess0)(Env(), nullptr, k64, kLocalMachine, J(path), false));
    EXPECT_FALSE(NATIVE(checkKeyAccess0)(Env(), nullptr, kDefaultView, kLocalMachine, J(path), false));
    NATIVE(set32BitValue0)(Env(), nullptr, k32, kLocalMachine, J(path), J("bits"), 32);
    NATIVE(createKey0)(Env(), nullptr, k64, kLocalMachine, J("Software"), J(name));
    NATIVE(set32BitValue0)(Env(), nullptr, k64, kLocalMachine, J(path), J("bits"), 64);
    EXPECT_EQ(NATIVE(get32BitValue0)(Env(), nullptr, k32, kLocalMachine, J(path), J("bits")), 32);
    EXPECT_EQ(NATIVE(get32BitValue0)(Env(), nullptr, k64, kLocalMachine, J(path), J("bits")), 64);
    // Deleting in one view leaves the other.
    NATIVE(deleteKey0)(Env(), nullptr, k32, kLocalMachine, J("Software"), J(name));
    EXPECT_EQ(Thrown(), "");
    EXPECT_FALSE(NATIVE(checkKeyAccess0)(Env(), nullptr, k32, kLocalMachine, J(path), false));
    EXPECT_TRUE(NATIVE(checkKeyAccess0)(Env(), nullptr, k64, kLocalMachine, J(path), false));
    NATIVE(deleteKey0)(Env(), nullptr, k64, kLocalMachine, J("Software"), J(name));
    EXPECT_FALSE(NATIVE(checkKeyAccess0)(Env(), nullptr, k64, kLocalMachine, J(path), false));
}

TEST_F(RegaccessWine, ManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<int> wrong(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            const std::string sub = "thread" + std::to_string(t);
            NATIVE(createKey0)(Env(), nullptr, 0, kCurrentUser, J(path_), J(sub));
            const std::string path = path_ + "\\" + sub;
            for (int k = 0; k < 100; ++k) {
                NATIVE(set32BitValue0)(Env(), nullptr, 0, kCurrentUser, J(path), J("v" + std::to_string(k % 10)), k);
                NATIVE(setStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J(sub), J(std::to_string(k)), false);
                wrong[t] += NATIVE(get32BitValue0)(Env(), nullptr, 0, kCurrentUser, J(path), J("v" + std::to_string(k % 10))) != k;
                wrong[t] += Utf8(NATIVE(getStringValue0)(Env(), nullptr, 0, kCurrentUser, J(path_), J(sub), false)) !=
                            std::to_string(k);
                wrong[t] += !Thrown().empty();
            }
            wrong[t] += NATIVE(countValues0)(Env(), nullptr, 0, kCurrentUser, J(path)) != 10;
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong, std::vector<int>(8, 0));
    EXPECT_EQ(NATIVE(countSubKeys0)(Env(), nullptr, 0, kCurrentUser, J(path_)), 8);
    EXPECT_EQ(NATIVE(countValues0)(Env(), nullptr, 0, kCurrentUser, J(path_)), 8);
    for (int t = 0; t < 8; ++t) {
        const std::string sub = "thread" + std::to_string(t);
        for (int k = 0; k < 10; ++k) {
            NATIVE(deleteValue0)(Env(), nullptr, 0, kCurrentUser, J(path_ + "\\" + sub), J("v" + std::to_string(k)));
        }
    }
}

// Last: once hidden, the class stays missing for the rest of this program.
TEST_F(RegaccessWine, WithoutTheExceptionClassNothingIsThrown) {
    jvm.HideClass("com/zeph/pinewood/toolkit/util/regaccess/NativeException");
    EXPECT_FALSE(NATIVE(keyEmpty0)(Env(), nullptr, 0, kCurrentUser, J(path_ + "\\missing")));
    EXPECT_FALSE(jvm.TakeException().has_value());
}

} // namespace
