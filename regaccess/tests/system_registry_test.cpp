// The system registry: where its store lives, and that it follows the environment and a store
// file that was replaced.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/env.h"
#include "support/store_helpers.h"
#include "support/temp_folder.h"

namespace {

using namespace regaccess::testing;
namespace fs = std::filesystem;

// Sets variables for one test and puts the old values back afterwards.
class ScopedVariable {
public:
    ScopedVariable(const std::string& name, const std::optional<std::string>& value)
        : name_(name), old_(platform::GetEnv(name)) {
        Apply(value);
    }
    ~ScopedVariable() { Apply(old_); }

private:
    void Apply(const std::optional<std::string>& value) {
        if (value) {
            platform::SetEnv(name_, *value);
        } else {
            platform::UnsetEnv(name_);
        }
    }
    std::string name_;
    std::optional<std::string> old_;
};

TEST(SystemRegistryFolder, ComesFromTheVariableThenTheUserDataFolder) {
    ScopedVariable folder(reg::kRegistryFolderVariable, "/srv/reg");
    ScopedVariable data("XDG_DATA_HOME", "/data");
    ScopedVariable home("HOME", "/home/someone");
    EXPECT_EQ(reg::DefaultRegistryFolder(), "/srv/reg");
    platform::UnsetEnv(reg::kRegistryFolderVariable);
    EXPECT_EQ(reg::DefaultRegistryFolder(), "/data/modlink");
    platform::SetEnv("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(reg::DefaultRegistryFolder(), "/home/someone/.local/share/modlink");
    platform::SetEnv(reg::kRegistryFolderVariable, "");
    EXPECT_EQ(reg::DefaultRegistryFolder(), "/home/someone/.local/share/modlink");
}

TEST(SystemRegistry, FollowsTheFolderVariableAndAReplacedStoreFile) {
    TempFolder folder("system");
    ScopedVariable variable(reg::kRegistryFolderVariable, folder.File("a"));
    reg::Registry& registry = reg::SystemRegistry();
    const auto write = [&](const char16_t* text) {
        reg::KeyPtr key;
        ASSERT_EQ(registry.Open(reg::Root::CurrentUser, nullptr, reg::kKeySetValue, key), reg::kSuccess);
        ASSERT_EQ(registry.SetValue(*key, u"v", reg::kRegSz, reinterpret_cast<const std::uint8_t*>(text),
                                    static_cast<std::uint32_t>(std::char_traits<char16_t>::length(text) * 2)),
                  reg::kSuccess);
    };
    const auto read = [&]() -> std::u16string {
        reg::KeyPtr key;
        if (registry.Open(reg::Root::CurrentUser, nullptr, reg::kKeyQueryValue, key) != reg::kSuccess) {
            return u"<no key>";
        }
        char16_t buffer[32] = {};
        std::uint32_t size = sizeof buffer - 2;
        if (registry.QueryValue(*key, u"v", nullptr, reinterpret_cast<std::uint8_t*>(buffer), &size) != reg::kSuccess) {
            return u"<none>";
        }
        return std::u16string(buffer, size / 2);
    };
    write(u"in a");
    EXPECT_EQ(read(), u"in a");
    platform::SetEnv(reg::kRegistryFolderVariable, folder.File("b"));
    EXPECT_EQ(read(), u"<none>");
    write(u"in b");
    platform::SetEnv(reg::kRegistryFolderVariable, folder.File("a"));
    EXPECT_EQ(read(), u"in a");
    // The store removed under a running process: the next call starts a new file rather than
    // writing into the removed one.
    for (const char* suffix : {"", "-wal", "-shm"}) {
        fs::remove(fs::path(folder.File("a")) / (std::string(reg::kRegistryFileName) + suffix));
    }
    EXPECT_EQ(read(), u"<none>");
    write(u"again");
    EXPECT_TRUE(fs::exists(fs::path(folder.File("a")) / reg::kRegistryFileName));
    StoreClient fresh(MustOpenStore(folder.File("a")));
    auto key = fresh.MustOpen(reg::Root::CurrentUser, nullptr);
    EXPECT_EQ(fresh.Text(*key, u"v"), u"again");
    EXPECT_FALSE(reg::IsWow64Process());
}

TEST(SystemRegistry, AFolderThatCannotBeMadeFailsEveryOpen) {
    TempFolder folder("nofolder");
    const std::string blocker = folder.File("file");
    std::FILE* out = std::fopen(blocker.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fclose(out);
    ScopedVariable variable(reg::kRegistryFolderVariable, blocker + "/store");
    reg::KeyPtr key;
    EXPECT_NE(reg::SystemRegistry().Open(reg::Root::CurrentUser, nullptr, reg::kKeyRead, key), reg::kSuccess);
    EXPECT_EQ(key, nullptr);
}

} // namespace
