// Several connections to one store file, used from several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/store_helpers.h"
#include "support/temp_folder.h"

namespace {

using namespace regaccess::testing;

std::u16string Payload(int writer, int i) {
    return std::u16string(static_cast<std::size_t>(1 + (i * 53) % 700), char16_t(u'A' + writer));
}

TEST(StoreConcurrency, ConnectionsInManyThreadsNeitherLoseNorTearValues) {
    TempFolder folder("threads");
    constexpr int kWriters = 4;
    constexpr int kValues = 60;
    {
        StoreClient setup(MustOpenStore(folder.Path()));
        ASSERT_EQ(setup.Create(reg::Root::CurrentUser, u"Shared"), reg::kSuccess);
    }
    std::atomic<int> problems{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            // Each thread has its own connection, as separate processes would.
            StoreClient client(MustOpenStore(folder.Path()));
            auto key = client.MustOpen(reg::Root::CurrentUser, u"Shared");
            for (int i = 0; i < kValues; ++i) {
                const std::u16string name = u"w" + std::u16string(1, char16_t(u'0' + w)) + u"-" +
                                            std::u16string(1, char16_t(u'A' + i % 26)) + char16_t(u'a' + i / 26);
                if (client.SetText(*key, name.c_str(), Payload(w, i)) != reg::kSuccess ||
                    client.SetText(*key, u"shared", Payload(w, i)) != reg::kSuccess) {
                    ++problems;
                }
                const std::u16string shared = client.Text(*key, u"shared");
                if (shared.empty() || shared.find_first_not_of(shared[0]) != std::u16string::npos) {
                    ADD_FAILURE() << "torn or missing shared value of " << shared.size() << " characters";
                    ++problems; // a mix of two writers' data
                }
                // A key that another thread may delete at any moment.
                if (w == 0) {
                    client.Create(reg::Root::CurrentUser, u"Shared\\Flicker");
                    reg::KeyPtr parent = client.MustOpen(reg::Root::CurrentUser, u"Shared");
                    const reg::Status status = client.Registry().Delete(*parent, u"Flicker");
                    if (status != reg::kSuccess && status != reg::kErrorFileNotFound) {
                        ADD_FAILURE() << "delete: " << status;
                        ++problems;
                    }
                } else {
                    reg::KeyPtr flicker;
                    if (client.Open(reg::Root::CurrentUser, u"Shared\\Flicker", reg::kKeySetValue, &flicker) ==
                        reg::kSuccess) {
                        const reg::Status status = client.SetText(*flicker, u"v", u"x");
                        if (status != reg::kSuccess && status != reg::kErrorKeyDeleted) {
                            ADD_FAILURE() << "write into a flickering key: " << status;
                            ++problems;
                        }
                    }
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(problems.load(), 0);
    StoreClient client(MustOpenStore(folder.Path()));
    auto key = client.MustOpen(reg::Root::CurrentUser, u"Shared");
    EXPECT_EQ(client.Values(*key).size(), static_cast<std::size_t>(kWriters * kValues + 1));
    for (int w = 0; w < kWriters; ++w) {
        for (int i = 0; i < kValues; ++i) {
            const std::u16string name = u"w" + std::u16string(1, char16_t(u'0' + w)) + u"-" +
                                        std::u16string(1, char16_t(u'A' + i % 26)) + char16_t(u'a' + i / 26);
            EXPECT_EQ(client.Text(*key, name.c_str()), Payload(w, i));
        }
    }
}

} // namespace
