// The natives from a real JVM: every method on success and on each of its failures, with the
// messages the Java side sees, the edge cases and Unicode.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/jvm/java_runner.h"
#include "support/store_helpers.h"
#include "support/temp_folder.h"

namespace {

using namespace regaccess::testing;
namespace fs = std::filesystem;

// A script of calls with the result line expected for each.
struct Call {
    std::string call;
    std::string result;
};

void ExpectResults(const JavaRunner& java, const std::vector<Call>& calls) {
    std::vector<std::string> lines;
    for (const Call& c : calls) {
        lines.push_back(c.call);
    }
    const std::vector<std::string> results = java.Script(lines);
    ASSERT_EQ(results.size(), calls.size()) << ::testing::PrintToString(results);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(results[i], calls[i].result) << "for: " << calls[i].call;
    }
}

class JvmCalls : public ::testing::Test {
protected:
    TempFolder folder_{"jvm"};
    std::string store_ = folder_.File("store");
    JavaRunner java_{store_};
};

TEST_F(JvmCalls, EveryMethodWorksOnItsOwnKindOfValue) {
    const std::string k = "Software\\modlink-it";
    ExpectResults(java_, {
        {"createKey 0 1 <null> " + k, "ok"},
        {"createKey 0 1 " + k + " Child", "ok"},
        {"checkKeyAccess 0 1 " + k + " true", "true"},
        {"checkKeyAccess 0 1 " + k + " false", "true"},
        {"checkKeyAccess 0 1 Software\\missing false", "false"},
        {"keyEmpty 0 1 " + k + "\\child", "true"},
        {"setStringValue 0 1 " + k + " Text hello^sworld false", "ok"},
        {"valueExists 0 1 " + k + " TEXT", "true"},
        {"valueExists 0 1 " + k + " nope", "false"},
        {"getValueType 0 1 " + k + " text", "1"},
        {"getStringValue 0 1 " + k + " text false", "\"hello^sworld\""},
        {"set32BitValue 0 1 " + k + " Number 0x12345678", "ok"},
        {"get32BitValue 0 1 " + k + " number", "305419896"},
        {"getValueType 0 1 " + k + " Number", "4"},
        {"setMultiStringValue 0 1 " + k + " Multi @one|two^sparts|three", "ok"},
        {"getMultiStringValue 0 1 " + k + " multi", "[\"one\", \"two^sparts\", \"three\"]"},
        {"getValueType 0 1 " + k + " Multi", "7"},
        {"setBinaryValue 0 1 " + k + " Bin #00ff10", "ok"},
        {"getBinaryValue 0 1 " + k + " bin", "#00ff10"},
        {"getValueType 0 1 " + k + " Bin", "3"},
        {"setNoneValue 0 1 " + k + " None #abcd", "ok"},
        {"getBinaryValue 0 1 " + k + " none", "#abcd"},
        {"getValueType 0 1 " + k + " None", "0"},
        {"setStringValue 0 1 " + k + " Expand %PATH% true", "ok"},
        {"getValueType 0 1 " + k + " Expand", "2"},
        {"countValues 0 1 " + k, "6"},
        {"countSubKeys 0 1 " + k, "1"},
        {"getSubkeyNames 0 1 " + k, "[\"Child\"]"},
        {"getValueNames 0 1 " + k, "[\"Text\", \"Number\", \"Multi\", \"Bin\", \"None\", \"Expand\"]"},
        {"keyEmpty 0 1 " + k, "false"},
        {"deleteValue 0 1 " + k + " TEXT", "ok"},
        {"valueExists 0 1 " + k + " Text", "false"},
        {"deleteKey 0 1 " + k + " CHILD", "ok"},
        {"countSubKeys 0 1 " + k, "0"},
        {"getSubkeyNames 0 1 " + k, "[]"},
        {"IsWow64Process", "false"},
    });
}

TEST_F(JvmCalls, EachFailureThrowsItsOwnMessage) {
    const std::string k = "Software\\f";
    const std::string missing = "Software\\missing";
    ExpectResults(java_, {
        {"createKey 0 1 <null> " + k + "\\Sub", "ok"},
        {"setBinaryValue 0 1 " + k + " bin4 #01020304", "ok"},
        {"setBinaryValue 0 1 " + k + " bin8 #0102030405060708", "ok"},
        {"setStringValue 0 1 " + k + " text x false", "ok"},
        {"valueExists 0 9 <null> x", "! Cannot open key"},
        {"keyEmpty 0 1 " + missing, "! Cannot open key"},
        {"countSubKeys 0 1 " + missing, "! Cannot open key"},
        {"countValues 0 -1 <null>", "! Cannot open key"},
        {"getSubkeyNames 0 1 " + missing, "! Cannot open key"},
        {"getValueNames 0 7 <null>", "! Cannot open key"},
        {"getValueType 0 1 " + missing + " x", "! Cannot open key"},
        {"getValueType 0 1 " + k + " missing", "! Cannot read value"},
        {"createKey 0 1 " + missing + " x", "! Could not open the parent key"},
        {"createKey 0 2 <null> NewHive", "! Could not create a new key (access denied)"},
        {"createKey 0 1 " + k + " bad\\\\name", "! Could not create a new key"},
        {"createKey 0 1 " + k + " <null>", "! Could not create a new key"},
        {"deleteKey 0 1 " + missing + " x", "! Could not open the parent key"},
        {"deleteKey 0 1 Software f", "! Could not delete key"},
        {"deleteKey 0 1 " + k + " nothing", "! Could not delete key"},
        {"deleteKey 1 1 " + k + " nothing", "! Could not delete key"},
        {"deleteValue 0 1 " + missing + " x", "! Canont open key"},
        {"deleteValue 0 1 " + k + " missing", "! Cannot delete value"},
        {"getStringValue 0 1 " + missing + " x false", "! Cannot read value"},
        {"getStringValue 0 1 " + k + " missing true", "! Cannot read value"},
        {"getStringValue 0 1 " + k + " bin4 false", "! Value has wrong type"},
        {"setStringValue 0 9 <null> x y false", "! Could not set value"},
        {"get32BitValue 0 1 " + missing + " x", "! Could not open key"},
        {"get32BitValue 0 1 " + k + " missing", "! Cannot read key data"},
        {"get32BitValue 0 1 " + k + " bin8", "! Cannot read key data"},
        {"get32BitValue 0 1 " + k + " bin4", "! Value is of wrong type"},
        {"set32BitValue 0 9 <null> x 1", "! Cannot set value"},
        {"getMultiStringValue 0 1 " + missing + " x", "! Cannot open key"},
        {"getMultiStringValue 0 1 " + k + " missing", "! Cannot read key data"},
        {"getMultiStringValue 0 1 " + k + " text", "! Value is of wrong type"},
        {"setMultiStringValue 0 9 <null> x @a", "! Cannot set value"},
        {"setMultiStringValue 0 1 " + k + " m @a|<null>|b", "! Cannot set value"},
        {"valueExists 0 1 " + k + " m", "false"},
        {"getBinaryValue 0 1 " + missing + " x", "! Could not open key"},
        {"getBinaryValue 0 1 " + k + " missing", "! Could not read key data"},
        {"getBinaryValue 0 1 " + k + " text", "! Value is of wrong type"},
        {"setBinaryValue 0 9 <null> x #01", "! Cannot set value"},
        {"setNoneValue 0 9 <null> x #01", "! Cannot set value"},
    });
}

TEST_F(JvmCalls, EdgeCasesOfPathsNamesAndData) {
    java_.SetVariable("REGACCESS_IT", "expanded");
    const std::string k = "Software\\edge";
    ExpectResults(java_, {
        // A null path is the root itself; a null name the default value.
        {"setStringValue 0 1 <null> <null> root-default false", "ok"},
        {"getStringValue 0 1 <null> <empty> false", "\"root-default\""},
        {"getValueNames 0 1 <null>", "[\"\"]"},
        {"createKey 0 1 <null> " + k, "ok"},
        {"set32BitValue 0 1 " + k + " <null> 7", "ok"},
        {"get32BitValue 0 1 " + k + " <empty>", "7"},
        // -1 is both a stored 0xFFFFFFFF and a failure; only the exception tells them apart.
        {"set32BitValue 0 1 " + k + " ones 0xFFFFFFFF", "ok"},
        {"get32BitValue 0 1 " + k + " ones", "-1"},
        {"get32BitValue 0 1 " + k + " nothing", "! Cannot read key data"},
        // An empty piece ends the list.
        {"setMultiStringValue 0 1 " + k + " two @a|b", "ok"},
        {"getMultiStringValue 0 1 " + k + " two", "[\"a\", \"b\"]"},
        {"setMultiStringValue 0 1 " + k + " cut @a|<empty>|b", "ok"},
        {"getMultiStringValue 0 1 " + k + " cut", "[\"a\"]"},
        {"setMultiStringValue 0 1 " + k + " none @", "ok"},
        {"getMultiStringValue 0 1 " + k + " none", "[]"},
        {"setMultiStringValue 0 1 " + k + " nullArray <null>", "ok"},
        {"getMultiStringValue 0 1 " + k + " nullArray", "[]"},
        // Expansion only when asked for and only of REG_EXPAND_SZ.
        {"setStringValue 0 1 " + k + " e %REGACCESS_IT%\\x^s%UNSET_REGACCESS% true", "ok"},
        {"getStringValue 0 1 " + k + " e true", "\"expanded\\x^s%UNSET_REGACCESS%\""},
        {"getStringValue 0 1 " + k + " e false", "\"%REGACCESS_IT%\\x^s%UNSET_REGACCESS%\""},
        {"setStringValue 0 1 " + k + " plain %REGACCESS_IT% false", "ok"},
        {"getStringValue 0 1 " + k + " plain true", "\"%REGACCESS_IT%\""},
        {"setStringValue 0 1 " + k + " empty <empty> false", "ok"},
        {"getStringValue 0 1 " + k + " empty false", "\"\""},
        {"setStringValue 0 1 " + k + " nul ab^0cd false", "ok"},
        {"getStringValue 0 1 " + k + " nul false", "\"ab\""},
        {"setBinaryValue 0 1 " + k + " emptyBin #", "ok"},
        {"getBinaryValue 0 1 " + k + " emptyBin", "#"},
        {"setNoneValue 0 1 " + k + " nullNone <null>", "ok"},
        {"getBinaryValue 0 1 " + k + " nullNone", "#"},
        // The 32-bit view keeps HKLM\Software apart; other roots have one view.
        {"createKey 1 2 <null> Software\\Vendor", "ok"},
        {"setStringValue 1 2 Software\\Vendor v x32 false", "ok"},
        {"checkKeyAccess 2 2 Software\\Vendor false", "false"},
        {"checkKeyAccess 0 2 Software\\Vendor false", "false"},
        {"getStringValue 0 2 Software\\WOW6432Node\\Vendor v false", "\"x32\""},
        {"getSubkeyNames 1 2 Software", "[\"Vendor\"]"},
        {"createKey 2 2 <null> Software\\Vendor", "ok"},
        {"getSubkeyNames 2 2 Software", "[\"Vendor\", \"WOW6432Node\"]"},
        {"deleteKey 1 2 Software Vendor", "ok"},
        {"checkKeyAccess 1 2 Software\\Vendor false", "false"},
        {"checkKeyAccess 2 2 Software\\Vendor false", "true"},
        {"deleteKey 2 2 <null> Software\\Vendor", "ok"},
        {"checkKeyAccess 0 2 Software\\Vendor false", "false"},
        {"createKey 1 1 <null> Software\\OneView", "ok"},
        {"checkKeyAccess 2 1 Software\\OneView false", "true"},
    });
    // What Java cannot see: the sizes and types written, and values other programs wrote.
    auto store = MustOpenStore(store_);
    StoreClient client(store);
    auto key = client.MustOpen(reg::Root::CurrentUser, u"Software\\edge");
    reg::ValueType type = 0;
    EXPECT_EQ(client.Bytes(*key, u"empty", &type), "");
    EXPECT_EQ(type, reg::kRegSz);
    EXPECT_EQ(client.Bytes(*key, u"two", &type), std::string("a\0\0\0b\0\0\0\0\0", 10));
    EXPECT_EQ(type, reg::kRegMultiSz);
    EXPECT_EQ(client.Bytes(*key, u"ones", &type), "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(client.Bytes(*key, u"nul", &type), std::string("a\0b\0\0\0c\0d\0", 10));
    ASSERT_EQ(client.SetBytes(*key, u"big", reg::kRegDwordBigEndian, "\x01\x02\x03\x04"), reg::kSuccess);
    ASSERT_EQ(client.SetBytes(*key, u"raw", reg::kRegMultiSz, std::string("x\0\0\0y\0", 6)), reg::kSuccess);
    ASSERT_EQ(client.SetBytes(*key, u"odd", reg::kRegSz, std::string("h\0i", 3)), reg::kSuccess);
    ASSERT_EQ(client.SetBytes(*key, u"short", reg::kRegDword, std::string("\x05", 1)), reg::kSuccess);
    ExpectResults(java_, {
        // The four bytes as this machine reads them, without swapping for the big-endian type.
        {"get32BitValue 0 1 " + k + " big", "67305985"},
        {"get32BitValue 0 1 " + k + " short", "5"},
        // Data may end without its terminating zeros.
        {"getMultiStringValue 0 1 " + k + " raw", "[\"x\", \"y\"]"},
        {"getStringValue 0 1 " + k + " odd false", "\"hi\""},
    });
}

TEST_F(JvmCalls, UnicodeNamesAndDataRoundTrip) {
    // Deseret capital and small long I (outside the BMP) name the same key.
    const std::string key = "Software\\Ünïcødé\\^uD801^uDC00-Ω";
    const std::string keyOtherCase = "software\\üNÏCØDÉ\\^uD801^uDC28-ω";
    ExpectResults(java_, {
        {"createKey 0 1 <null> " + key, "ok"},
        {"setStringValue 0 1 " + keyOtherCase + " Ωmega-^uD83D^uDE00 日本語^s^uD83D^uDE00^uD800 false", "ok"},
        {"getStringValue 0 1 " + key + " ΩMEGA-^uD83D^uDE00 false",
         "\"^u65E5^u672C^u8A9E^s^uD83D^uDE00^uD800\""},
        {"getValueNames 0 1 " + key, "[\"^u03A9mega-^uD83D^uDE00\"]"},
        {"getSubkeyNames 0 1 Software\\ÜNÏCØDÉ", "[\"^uD801^uDC00-^u03A9\"]"},
        {"setMultiStringValue 0 1 " + key + " m @Ä|^uD83D^uDE00|ß", "ok"},
        {"getMultiStringValue 0 1 " + key + " M", "[\"^u00C4\", \"^uD83D^uDE00\", \"^u00DF\"]"},
        {"valueExists 0 1 " + key + " ΩMEGA-^uD83D^uDE01", "false"},
    });
}

TEST_F(JvmCalls, BadInputGetsTheMethodsOwnExceptionAndLosesNothing) {
    const std::string k = "Software\\bad";
    const std::string limit = std::to_string(reg::kMaxValueSize);
    const std::string overLimit = std::to_string(reg::kMaxValueSize + 1);
    ExpectResults(java_, {
        {"createKey 0 1 <null> " + k, "ok"},
        {"setBinaryValue 0 1 " + k + " huge #*" + limit, "ok"},
        {"getBinaryValue 0 1 " + k + " huge", "#len=" + limit + ",sum=2097144125,counting"},
        {"setBinaryValue 0 1 " + k + " huge #*" + overLimit, "! Cannot set value"},
        {"setStringValue 0 1 " + k + " huge ^r8388609:x false", "! Could not set value"},
        {"getBinaryValue 0 1 " + k + " huge", "#len=" + limit + ",sum=2097144125,counting"},
        {"getStringValue 0 1 " + k + " huge false", "! Value has wrong type"},
        {"getMultiStringValue 0 1 " + k + " huge", "! Value is of wrong type"},
        // Characters that are special to file systems or shells are plain in key names.
        {"createKey 0 1 " + k + " a/b*c?d^s<e>|f:\"g\"%h%^u0009^u0001", "ok"},
        {"getSubkeyNames 0 1 " + k, "[\"a/b*c?d^s<e>|f:\"g\"%h%^u0009^u0001\"]"},
        {"createKey 0 1 " + k + " \\leading", "! Could not create a new key"},
        {"getValueNames 0 1 \\" + k, "! Cannot open key"},
        {"createKey 0 1 " + k + " ^r256:n", "! Could not create a new key"},
        {"setStringValue 0 1 " + k + " ^r16384:n x false", "! Could not set value"},
        {"setStringValue 0 1 " + k + " ^r16383:n x false", "ok"},
        {"countValues 0 1 " + k, "2"},
    });
}

TEST_F(JvmCalls, AReadOnlyStoreRefusesChangesWithTheirMessages) {
    ExpectResults(java_, {
        {"createKey 0 1 <null> Software\\ro\\Sub", "ok"},
        {"setStringValue 0 1 Software\\ro v before false", "ok"},
    });
    fs::permissions(fs::path(store_) / reg::kRegistryFileName, fs::perms::owner_read, fs::perm_options::replace);
    ExpectResults(java_, {
        {"checkKeyAccess 0 1 Software\\ro true", "false"},
        {"checkKeyAccess 0 1 Software\\ro false", "true"},
        {"setStringValue 0 1 Software\\ro v after false", "! Could not set value"},
        {"set32BitValue 0 1 Software\\ro n 1", "! Cannot set value"},
        {"createKey 0 1 Software\\ro New", "! Could not open the parent key"},
        {"deleteKey 0 1 Software\\ro Sub", "! Could not open the parent key"},
        {"deleteValue 0 1 Software\\ro v", "! Canont open key"},
        {"getStringValue 0 1 Software\\ro v false", "\"before\""},
        {"getSubkeyNames 0 1 Software\\ro", "[\"Sub\"]"},
    });
}

TEST_F(JvmCalls, ACorruptStoreFileGivesTheMethodsFailuresAndIsKept) {
    fs::create_directories(store_);
    const std::string file = (fs::path(store_) / reg::kRegistryFileName).string();
    const std::string junk(10000, '\x5A');
    {
        std::FILE* out = std::fopen(file.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(junk.data(), 1, junk.size(), out);
        std::fclose(out);
    }
    ExpectResults(java_, {
        {"checkKeyAccess 0 1 <null> false", "false"},
        {"getStringValue 0 1 <null> x false", "! Cannot read value"},
        {"setStringValue 0 1 <null> x y false", "! Could not set value"},
        {"createKey 0 1 <null> x", "! Could not open the parent key"},
        {"getSubkeyNames 0 1 <null>", "! Cannot open key"},
    });
    EXPECT_EQ(fs::file_size(file), junk.size());
}

TEST_F(JvmCalls, WithoutTheExceptionClassOnlyTheFailureValuesAreLeft) {
    // A copy of the testkit classes without NativeException.
    const std::string classes = folder_.File("classes");
    fs::create_directories(classes);
    platform::ProcessOptions unpack;
    unpack.arguments = {REGACCESS_JAR_TOOL, "xf", REGACCESS_TESTKIT_JAR};
    unpack.workingFolder = classes;
    std::string output;
    int error = 0;
    ASSERT_EQ(platform::RunToEnd(unpack, &output, &error), 0) << output;
    ASSERT_TRUE(fs::remove(fs::path(classes) / "com/zeph/pinewood/toolkit/util/regaccess/NativeException.class"));
    java_.SetClassPath(classes);
    const JavaRun run = java_.Run("modlink.regaccess.RegFailureValues", {});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.Lines(), (std::vector<std::string>{
                               "checkKeyAccess false",
                               "valueExists false",
                               "keyEmpty false",
                               "countSubKeys 0",
                               "countValues 0",
                               "getSubkeyNames null",
                               "getValueNames null",
                               "getValueType 0",
                               "getStringValue null",
                               "getStringValue(binary) null",
                               "get32BitValue -1",
                               "get32BitValue(binary) -1",
                               "getMultiStringValue null",
                               "getMultiStringValue(dword) null",
                               "getBinaryValue null",
                               "getBinaryValue(dword) null",
                               "void calls returned",
                           }));
}

} // namespace
