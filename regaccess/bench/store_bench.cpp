// Figures for the registry store: calls per second for the operations the natives make, in one
// thread and in several threads sharing one store. Prints its figures; not a test.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/env.h"
#include "platform/registry_store.h"

namespace reg = platform::registry;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Report(const char* what, int calls, double seconds) {
    std::printf("%-44s %8d calls %8.3f s %10.0f calls/s\n", what, calls, seconds, calls / seconds);
}

} // namespace

int main() {
    const std::string folder = platform::TempFolder() + "regaccess-bench-" + std::to_string(platform::CurrentProcessId());
    reg::StoreOptions options;
    options.folder = folder;
    reg::Status status = reg::kSuccess;
    auto store = reg::OpenRegistryStore(options, &status);
    if (store == nullptr) {
        std::fprintf(stderr, "store_bench: cannot open a store in %s (error %u)\n", folder.c_str(), status);
        return 1;
    }
    reg::KeyPtr root;
    store->Open(reg::Root::CurrentUser, nullptr, reg::kKeyAllAccess, root);
    reg::KeyPtr key;
    store->Create(*root, u"Software\\Bench", reg::kKeyAllAccess, key, nullptr);
    const std::u16string text(100, u'x');
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const int calls = 2000;

    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        const std::u16string name = u"v" + std::u16string(1, char16_t(u'a' + i % 26)) + char16_t(u'0' + i % 10);
        store->SetValue(*key, name.c_str(), reg::kRegSz, bytes, 200);
    }
    Report("SetValue (200 bytes, one transaction each)", calls, Seconds(start));

    start = std::chrono::steady_clock::now();
    std::uint8_t buffer[256];
    for (int i = 0; i < calls; ++i) {
        std::uint32_t size = sizeof buffer;
        store->QueryValue(*key, u"va0", nullptr, buffer, &size);
    }
    Report("QueryValue (200 bytes)", calls, Seconds(start));

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        reg::KeyPtr opened;
        store->Open(reg::Root::CurrentUser, u"software\\BENCH", reg::kKeyRead, opened);
    }
    Report("Open (two names deep)", calls, Seconds(start));

    start = std::chrono::steady_clock::now();
    const int threads = 4;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            const std::u16string name = u"thread" + std::u16string(1, char16_t(u'0' + t));
            for (int i = 0; i < calls / threads; ++i) {
                store->SetValue(*key, name.c_str(), reg::kRegSz, bytes, 200);
                std::uint32_t size = sizeof buffer;
                store->QueryValue(*key, name.c_str(), nullptr, buffer, &size);
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    Report("SetValue + QueryValue, 4 threads", calls * 2, Seconds(start));

    root.reset();
    key.reset();
    store.reset();
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return 0;
}
