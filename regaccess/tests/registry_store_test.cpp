// The registry store's rules: names, values, enumeration, deletion, views and access.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include <sqlite3.h>

#include "support/store_helpers.h"
#include "support/temp_folder.h"

namespace {

using namespace regaccess::testing;
namespace fs = std::filesystem;

class RegistryStore : public ::testing::Test {
protected:
    TempFolder folder_{"store"};
    StoreClient client_{MustOpenStore(folder_.Path())};
};

TEST_F(RegistryStore, KeyNamesAreFoundInAnyCaseAndKeepTheirSpelling) {
    ASSERT_EQ(client_.Create(reg::Root::CurrentUser, u"Software\\Modlink\\Äpfel\\Ωmega\\\U00010400x"), reg::kSuccess);
    reg::KeyPtr key;
    EXPECT_EQ(client_.Open(reg::Root::CurrentUser, u"SOFTWARE\\modlink\\äPFEL\\ωMEGA\\\U00010428X", reg::kKeyRead, &key),
              reg::kSuccess);
    // ß has no simple upper case, so it is not the same name as "SS".
    bool created = false;
    ASSERT_EQ(client_.Create(reg::Root::CurrentUser, u"Software\\Straße", 0, &created), reg::kSuccess);
    EXPECT_TRUE(created);
    EXPECT_EQ(client_.Open(reg::Root::CurrentUser, u"Software\\STRASSE", reg::kKeyRead), reg::kErrorFileNotFound);
    // Creating an existing key in another case opens it.
    ASSERT_EQ(client_.Create(reg::Root::CurrentUser, u"software\\MODLINK", 0, &created), reg::kSuccess);
    EXPECT_FALSE(created);
    auto software = client_.MustOpen(reg::Root::CurrentUser, u"Software");
    EXPECT_EQ(client_.SubKeys(*software), (std::vector<std::u16string>{u"Modlink", u"Straße"}));
}

TEST_F(RegistryStore, PathsAllowOneTrailingBackslashAndRejectEmptyOrOverlongNames) {
    ASSERT_EQ(client_.Create(reg::Root::CurrentUser, u"A\\B\\"), reg::kSuccess);
    EXPECT_EQ(client_.Open(reg::Root::CurrentUser, u"A\\B\\", reg::kKeyRead), reg::kSuccess);
    EXPECT_EQ(client_.Open(reg::Root::CurrentUser, u"\\A", reg::kKeyRead), reg::kErrorBadPathname);
    EXPECT_EQ(client_.Open(reg::Root::CurrentUser, u"A\\\\B", reg::kKeyRead), reg::kErrorBadPathname);
    EXPECT_EQ(client_.Create(reg::Root::CurrentUser, u"\\"), reg::kErrorBadPathname);
    const std::u16string longest(reg::kMaxKeyNameLength, u'k');
    EXPECT_EQ(client_.Create(reg::Root::CurrentUser, longest.c_str()), reg::kSuccess);
    const std::u16string tooLong = longest + u"k";
    EXPECT_EQ(client_.Create(reg::Root::CurrentUser, tooLong.c_str()), reg::kErrorInvalidParameter);
    // Characters that are special elsewhere are plain in key names.
    const char16_t* odd = u"sp ace/slash*star?q\"quote'<>|:%PATH%\t\U0001F600\u200B";
    ASSERT_EQ(client_.Create(reg::Root::CurrentUser, odd), reg::kSuccess);
    auto root = client_.MustOpen(reg::Root::CurrentUser, nullptr);
    const auto names = client_.SubKeys(*root);
    EXPECT_NE(std::find(names.begin(), names.end(), std::u16string(odd)), names.end());
}

TEST_F(RegistryStore, ValuesKeepTypeBytesAndFirstSpelling) {
    auto key = client_.MustOpen(reg::Root::CurrentUser, nullptr);
    // Any type number is kept, including ones this library never writes (REG_QWORD is 11).
    ASSERT_EQ(client_.SetBytes(*key, u"Q", 11, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)), reg::kSuccess);
    reg::ValueType type = 0;
    EXPECT_EQ(client_.Bytes(*key, u"q", &type), std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    EXPECT_EQ(type, 11u);
    // Writing again in another case replaces type and data but keeps name and position.
    ASSERT_EQ(client_.SetText(*key, u"Second", u"2"), reg::kSuccess);
    ASSERT_EQ(client_.SetBytes(*key, u"qQ", reg::kRegBinary, ""), reg::kSuccess);
    ASSERT_EQ(client_.SetBytes(*key, u"QQ", reg::kRegBinary, std::string("\0", 1)), reg::kSuccess);
    ASSERT_EQ(client_.SetBytes(*key, u"q", reg::kRegNone, ""), reg::kSuccess);
    reg::Status status = reg::kSuccess;
    EXPECT_EQ(client_.Bytes(*key, u"Q", &type, &status), "");
    EXPECT_EQ(status, reg::kSuccess);
    EXPECT_EQ(type, reg::kRegNone);
    EXPECT_EQ(client_.Values(*key), (std::vector<std::u16string>{u"Q", u"Second", u"qQ"}));
    client_.Bytes(*key, u"missing", nullptr, &status);
    EXPECT_EQ(status, reg::kErrorFileNotFound);
}

TEST_F(RegistryStore, NullAndEmptyNamesAreTheDefaultValue) {
    auto key = client_.MustOpen(reg::Root::CurrentUser, nullptr);
    ASSERT_EQ(client_.SetText(*key, nullptr, u"default"), reg::kSuccess);
    EXPECT_EQ(client_.Text(*key, u""), u"default");
    EXPECT_EQ(client_.Values(*key), std::vector<std::u16string>{u""});
    ASSERT_EQ(client_.Registry().DeleteValue(*key, u""), reg::kSuccess);
    EXPECT_EQ(client_.Registry().QueryValue(*key, nullptr, nullptr, nullptr, nullptr), reg::kErrorFileNotFound);
    EXPECT_EQ(client_.Registry().DeleteValue(*key, nullptr), reg::kErrorFileNotFound);
}

TEST_F(RegistryStore, QueryTellsTheSizeAndRefusesASmallBuffer) {
    auto key = client_.MustOpen(reg::Root::CurrentUser, nullptr);
    ASSERT_EQ(client_.SetBytes(*key, u"v", reg::kRegDword, std::string("\x11\x22\x33\x44\x55", 5)), reg::kSuccess);
    std::uint8_t buffer[4] = {};
    std::uint32_t size = sizeof buffer;
    reg::ValueType type = 0;
    EXPECT_EQ(client_.Registry().QueryValue(*key, u"v", &type, buffer, &size), reg::kErrorMoreData);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(type, reg::kRegDword);
    EXPECT_EQ(client_.Registry().QueryValue(*key, u"v", nullptr, buffer, nullptr), reg::kErrorInvalidParameter);
}

TEST_F(RegistryStore, SizeAndNameLimitsAreEnforcedWithoutWriting) {
    auto key = client_.MustOpen(reg::Root::CurrentUser, nullptr);
    const std::string largest(reg::kMaxValueSize, 'x');
    ASSERT_EQ(client_.SetBytes(*key, u"big", reg::kRegBinary, largest), reg::kSuccess);
    EXPECT_EQ(client_.Bytes(*key, u"big").size(), largest.size());
    EXPECT_EQ(client_.SetBytes(*key, u"big", reg::kRegBinary, largest + "y"), reg::kErrorInvalidParameter);
    EXPECT_EQ(client_.Bytes(*key, u"big").size(), largest.size());
    EXPECT_EQ(client_.Registry().SetValue(*key, u"n", reg::kRegBinary, nullptr, 3), reg::kErrorInvalidParameter);

    const std::u16string longest(reg::kMaxValueNameLength, u'n');
    ASSERT_EQ(client_.SetText(*key, longest.c_str(), u"1"), reg::kSuccess);
    EXPECT_EQ(client_.SetText(*key, (longest + u"n").c_str(), u"1"), reg::kErrorInvalidParameter);
    // A name of the longest length can be listed with a buffer of that length plus one.
    const auto names = client_.Values(*key);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1], longest);
    std::u16string buffer(reg::kMaxValueNameLength, u'\0');
    std::uint32_t length = reg::kMaxValueNameLength;
    EXPECT_EQ(client_.Registry().EnumValue(*key, 1, buffer.data(), &length), reg::kErrorMoreData);
}

TEST_F(RegistryStore, SubkeysAreListedInNameOrderRegardlessOfCase) {
    for (const char16_t* name : {u"beta", u"Alpha", u"gamma", u"Delta", u"ä", u"Z"}) {
        ASSERT_EQ(client_.Create(reg::Root::Users, (std::u16string(u".DEFAULT\\") + name).c_str()), reg::kSuccess);
    }
    auto key = client_.MustOpen(reg::Root::Users, u".default");
    EXPECT_EQ(client_.SubKeys(*key),
              (std::vector<std::u16string>{u"Alpha", u"beta", u"Delta", u"gamma", u"Z", u"ä"}));
    std::uint32_t subKeys = 0;
    std::uint32_t values = 9;
    ASSERT_EQ(client_.Registry().QueryInfo(*key, &subKeys, &values), reg::kSuccess);
    EXPECT_EQ(subKeys, 6u);
    EXPECT_EQ(values, 0u);
    char16_t small[3];
    std::uint32_t length = 3;
    EXPECT_EQ(client_.Registry().EnumKey(*key, 0, small, &length), reg::kErrorMoreData);
    length = 3;
    EXPECT_EQ(client_.Registry().EnumKey(*key, 5, small, &length), reg::kSuccess);
    EXPECT_EQ(std::u16string(small), u"ä");
    EXPECT_EQ(client_.Registry().EnumKey(*key, 6, small, &length), reg::kErrorNoMoreItems);
}

TEST_F(RegistryStore, OnlyKeysWithoutSubkeysAreDeletedAndTheirHandlesGoStale) {
    ASSERT_EQ(client_.Create(reg::Root::CurrentUser, u"P\\Child\\Grandchild"), reg::kSuccess);
    auto parent = client_.MustOpen(reg::Root::CurrentUser, u"P");
    auto child = client_.MustOpen(reg::Root::CurrentUser, u"P\\Child");
    ASSERT_EQ(client_.SetText(*child, u"v", u"x"), reg::kSuccess);
    EXPECT_EQ(client_.Registry().Delete(*parent, u"child"), reg::kErrorAccessDenied);
    ASSERT_EQ(client_.Registry().Delete(*parent, u"CHILD\\grandchild"), reg::kSuccess);
    ASSERT_EQ(client_.Registry().Delete(*parent, u"Child"), reg::kSuccess);
    EXPECT_EQ(client_.Registry().Delete(*parent, u"Child"), reg::kErrorFileNotFound);
    EXPECT_EQ(client_.Registry().Delete(*parent, nullptr), reg::kErrorInvalidParameter);
    EXPECT_EQ(client_.Registry().Delete(*parent, u""), reg::kErrorInvalidParameter);
    // The old handle never reaches a key created later under the same name, nor its values.
    ASSERT_EQ(client_.Create(reg::Root::CurrentUser, u"P\\Child"), reg::kSuccess);
    EXPECT_EQ(client_.SetText(*child, u"v", u"y"), reg::kErrorKeyDeleted);
    EXPECT_EQ(client_.Registry().QueryValue(*child, u"v", nullptr, nullptr, nullptr), reg::kErrorKeyDeleted);
    auto fresh = client_.MustOpen(reg::Root::CurrentUser, u"P\\Child");
    EXPECT_TRUE(client_.Values(*fresh).empty());
}

TEST_F(RegistryStore, HivesBelowLocalMachineAndUsersAreFixed) {
    EXPECT_EQ(client_.Create(reg::Root::LocalMachine, u"NewHive"), reg::kErrorAccessDenied);
    EXPECT_EQ(client_.Create(reg::Root::Users, u"S-1-5-99"), reg::kErrorAccessDenied);
    EXPECT_EQ(client_.Create(reg::Root::LocalMachine, u"Software\\Vendor"), reg::kSuccess);
    EXPECT_EQ(client_.Create(reg::Root::CurrentConfig, u"Anything"), reg::kSuccess);
    auto machine = client_.MustOpen(reg::Root::LocalMachine, nullptr);
    EXPECT_EQ(client_.Registry().Delete(*machine, u"HARDWARE"), reg::kErrorAccessDenied);
    EXPECT_EQ(client_.SubKeys(*machine), (std::vector<std::u16string>{u"HARDWARE", u"SOFTWARE", u"SYSTEM"}));
}

TEST_F(RegistryStore, TheThirtyTwoBitViewSeesSoftwareThroughWow6432Node) {
    ASSERT_EQ(client_.Create(reg::Root::LocalMachine, u"Software\\Vendor32", reg::kKeyWow64_32Key), reg::kSuccess);
    ASSERT_EQ(client_.Create(reg::Root::LocalMachine, u"Software\\Vendor64", reg::kKeyWow64_64Key), reg::kSuccess);
    EXPECT_EQ(client_.Open(reg::Root::LocalMachine, u"SOFTWARE\\WOW6432Node\\Vendor32", reg::kKeyRead), reg::kSuccess);
    EXPECT_EQ(client_.Open(reg::Root::LocalMachine, u"Software\\Vendor32", reg::kKeyRead), reg::kErrorFileNotFound);
    EXPECT_EQ(client_.Open(reg::Root::LocalMachine, u"Software\\Vendor32", reg::kKeyRead | reg::kKeyWow64_64Key),
              reg::kErrorFileNotFound);
    EXPECT_EQ(client_.Open(reg::Root::LocalMachine, u"software\\vendor32", reg::kKeyRead | reg::kKeyWow64_32Key),
              reg::kSuccess);
    EXPECT_EQ(client_.Open(reg::Root::LocalMachine, u"Software\\Vendor64", reg::kKeyRead | reg::kKeyWow64_32Key),
              reg::kErrorFileNotFound);
    // Naming the node explicitly in the 32-bit view does not redirect twice.
    EXPECT_EQ(client_.Open(reg::Root::LocalMachine, u"Software\\Wow6432Node\\Vendor32",
                           reg::kKeyRead | reg::kKeyWow64_32Key),
              reg::kSuccess);
    // Other roots have one view only.
    ASSERT_EQ(client_.Create(reg::Root::CurrentUser, u"Software\\Same", reg::kKeyWow64_32Key), reg::kSuccess);
    EXPECT_EQ(client_.Open(reg::Root::CurrentUser, u"Software\\Same", reg::kKeyRead), reg::kSuccess);
    // Deleting in the 32-bit view removes the redirected key only.
    ASSERT_EQ(client_.Create(reg::Root::LocalMachine, u"Software\\Both", reg::kKeyWow64_32Key), reg::kSuccess);
    ASSERT_EQ(client_.Create(reg::Root::LocalMachine, u"Software\\Both"), reg::kSuccess);
    auto machine = client_.MustOpen(reg::Root::LocalMachine, nullptr);
    ASSERT_EQ(client_.Registry().DeleteInView(*machine, u"Software\\Both", reg::kKeyWow64_32Key), reg::kSuccess);
    EXPECT_EQ(client_.Open(reg::Root::LocalMachine, u"Software\\Both", reg::kKeyRead), reg::kSuccess);
    EXPECT_EQ(client_.Open(reg::Root::LocalMachine, u"Software\\Both", reg::kKeyRead | reg::kKeyWow64_32Key),
              reg::kErrorFileNotFound);
    EXPECT_EQ(client_.Open(reg::Root::LocalMachine, u"Software", reg::kKeyRead | reg::kKeyWow64_32Key | reg::kKeyWow64_64Key),
              reg::kErrorInvalidParameter);
}

TEST_F(RegistryStore, EachOperationNeedsItsRight) {
    auto readOnly = client_.MustOpen(reg::Root::CurrentUser, nullptr, reg::kKeyQueryValue);
    EXPECT_EQ(client_.SetText(*readOnly, u"v", u"x"), reg::kErrorAccessDenied);
    EXPECT_EQ(client_.Registry().DeleteValue(*readOnly, u"v"), reg::kErrorAccessDenied);
    reg::KeyPtr child;
    EXPECT_EQ(client_.Registry().Create(*readOnly, u"C", reg::kKeyRead, child, nullptr), reg::kErrorAccessDenied);
    char16_t name[8];
    std::uint32_t length = 8;
    EXPECT_EQ(client_.Registry().EnumKey(*readOnly, 0, name, &length), reg::kErrorAccessDenied);
    auto writeOnly = client_.MustOpen(reg::Root::CurrentUser, nullptr, reg::kKeySetValue);
    EXPECT_EQ(client_.SetText(*writeOnly, u"v", u"x"), reg::kSuccess);
    EXPECT_EQ(client_.Registry().QueryValue(*writeOnly, u"v", nullptr, nullptr, nullptr), reg::kErrorAccessDenied);
    EXPECT_EQ(client_.Registry().QueryInfo(*writeOnly, nullptr, nullptr), reg::kErrorAccessDenied);
}

TEST(RegistryStoreFile, IsCreatedForItsOwnerOnlyAndReopensWithItsContents) {
    TempFolder folder("file");
    const std::string storeFolder = folder.File("deep/store");
    {
        StoreClient client(MustOpenStore(storeFolder));
        auto key = client.MustOpen(reg::Root::CurrentUser, nullptr);
        ASSERT_EQ(client.SetText(*key, u"kept", u"yes"), reg::kSuccess);
    }
    const auto file = fs::path(storeFolder) / reg::kRegistryFileName;
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(storeFolder).permissions() & fs::perms::all, fs::perms::owner_all);
    // A store whose mode was widened is narrowed again when opened.
    fs::permissions(file, fs::perms::group_read | fs::perms::others_read, fs::perm_options::add);
    StoreClient client(MustOpenStore(storeFolder));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    auto key = client.MustOpen(reg::Root::CurrentUser, nullptr);
    EXPECT_EQ(client.Text(*key, u"KEPT"), u"yes");
    std::string report;
    EXPECT_TRUE(reg::CheckRegistryStore(storeFolder, &report)) << report;
}

TEST(RegistryStoreFile, AReadOnlyFileRefusesEveryChangeButStillReads) {
    TempFolder folder("readonly");
    {
        StoreClient client(MustOpenStore(folder.Path()));
        ASSERT_EQ(client.Create(reg::Root::CurrentUser, u"K"), reg::kSuccess);
        auto key = client.MustOpen(reg::Root::CurrentUser, u"K");
        ASSERT_EQ(client.SetText(*key, u"v", u"before"), reg::kSuccess);
    }
    fs::permissions(folder.File(reg::kRegistryFileName), fs::perms::owner_read, fs::perm_options::replace);
    StoreClient client(MustOpenStore(folder.Path()));
    EXPECT_EQ(client.Open(reg::Root::CurrentUser, u"K", reg::kKeySetValue), reg::kErrorAccessDenied);
    EXPECT_EQ(client.Open(reg::Root::CurrentUser, u"K", reg::kKeyAllAccess), reg::kErrorAccessDenied);
    EXPECT_EQ(client.Create(reg::Root::CurrentUser, u"New"), reg::kErrorAccessDenied);
    auto key = client.MustOpen(reg::Root::CurrentUser, u"K", reg::kKeyRead);
    EXPECT_EQ(client.Text(*key, u"v"), u"before");
}

TEST(RegistryStoreFile, ForeignOrDamagedFilesAreRefusedAndLeftAlone) {
    TempFolder folder("corrupt");
    const char* kJunk = "this is not a registry store, nor any database at all";
    const std::string file = folder.File(reg::kRegistryFileName);
    reg::StoreOptions options;
    options.folder = folder.Path();
    reg::Status status = reg::kSuccess;
    {
        std::FILE* out = std::fopen(file.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fputs(kJunk, out);
        std::fclose(out);
    }
    EXPECT_EQ(reg::OpenRegistryStore(options, &status), nullptr);
    EXPECT_EQ(status, reg::kErrorBadDb);
    EXPECT_EQ(fs::file_size(file), std::strlen(kJunk));

    // Another program's database is not taken over either.
    fs::remove(file);
    {
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "CREATE TABLE mine(x)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(other);
    }
    EXPECT_EQ(reg::OpenRegistryStore(options, &status), nullptr);
    EXPECT_EQ(status, reg::kErrorBadDb);

    // A store whose pages were overwritten fails on use with an error, not a crash.
    fs::remove(file);
    {
        StoreClient client(MustOpenStore(folder.Path()));
        for (int i = 0; i < 16; ++i) {
            const std::u16string name = std::u16string(200, u'k') + char16_t(u'A' + i);
            ASSERT_EQ(client.Create(reg::Root::CurrentUser, name.c_str()), reg::kSuccess);
        }
    }
    {
        std::FILE* io = std::fopen(file.c_str(), "r+b");
        ASSERT_NE(io, nullptr);
        // Pages 2 to 4 hold the keys table and its index.
        std::fseek(io, 4096, SEEK_SET);
        const std::string junk(3 * 4096, '\xA5');
        std::fwrite(junk.data(), 1, junk.size(), io);
        std::fclose(io);
    }
    auto store = reg::OpenRegistryStore(options, &status);
    if (store != nullptr) {
        StoreClient client(store);
        reg::KeyPtr root;
        ASSERT_EQ(client.Open(reg::Root::CurrentUser, nullptr, reg::kKeyRead, &root), reg::kSuccess);
        std::uint32_t count = 0;
        reg::Status infoStatus = client.Registry().QueryInfo(*root, &count, nullptr);
        reg::Status createStatus = client.Create(reg::Root::CurrentUser, u"After");
        EXPECT_TRUE(infoStatus == reg::kErrorBadDb || createStatus == reg::kErrorBadDb)
            << infoStatus << " " << createStatus;
    } else {
        EXPECT_EQ(status, reg::kErrorBadDb);
    }
    EXPECT_FALSE(reg::CheckRegistryStore(folder.Path(), nullptr));
}

TEST(RegistryStoreFile, AnotherProcessHoldingTheLockMakesWritesTimeOut) {
    TempFolder folder("busy");
    StoreClient client(MustOpenStore(folder.Path(), 200));
    auto key = client.MustOpen(reg::Root::CurrentUser, nullptr);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(folder.File(reg::kRegistryFileName).c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(client.SetText(*key, u"v", u"x"), reg::kErrorBusy);
    // Readers do not wait for a writer.
    EXPECT_EQ(client.Registry().QueryValue(*key, u"v", nullptr, nullptr, nullptr), reg::kErrorFileNotFound);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(client.SetText(*key, u"v", u"x"), reg::kSuccess);
}

} // namespace
