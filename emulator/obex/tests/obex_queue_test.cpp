// The registry, the worker's queue and idle time-out, and the caching proxy, on a fake module.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "obex/module_file_access.h"

#include "obex/obex_connection.h"
#include "obex/physical_connection.h"
#include "support/fake_operations.h"

using namespace obex;
using namespace obextest;

namespace {

class EmptyStream : public IStream {
public:
    HRESULT Read(void*, uint32_t, uint32_t* read) override {
        *read = 0;
        return kOk;
    }
    HRESULT Seek(int64_t, int, uint64_t*) override { return kOk; }
    HRESULT Stat(StreamStat* stat) override {
        stat->size = 0;
        return kOk;
    }
};

class Queue : public ::testing::Test {
protected:
    void SetUp() override {
        ConnectionRegistry::Instance().SetEnvironmentFactory(
            [this] { return std::make_unique<FakeEnvironment>(clock, record); });
    }
    void TearDown() override {
        for (CPhysicalConnection* c : taken) ConnectionRegistry::Instance().Release(c);
        ConnectionRegistry::Instance().SetEnvironmentFactory(nullptr);
    }
    CPhysicalConnection* Get(const std::string& port) {
        CPhysicalConnection* c = nullptr;
        EXPECT_EQ(ConnectionRegistry::Instance().Get(&c, kConnectionTypeSerial, port, 115200), kOk);
        taken.push_back(c);
        return c;
    }
    HRESULT Run(CPhysicalConnection& c, int type, const std::u16string& path) {
        Request r(c, type);
        r.SetPath(path);
        if (type == kRequestPut) r.SetStream(std::make_shared<EmptyStream>(), kAttrNormal);
        r.Enqueue();
        r.Wait();
        return r.TakeResult();
    }
    int Count(int ModuleRecord::*field) {
        std::lock_guard<std::mutex> lock(record->mutex);
        return (*record).*field;
    }
    // Waits (in real time) until the worker reacted to a clock jump.
    bool WaitFor(int ModuleRecord::*field, int value) {
        for (int i = 0; i < 200 && Count(field) != value; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Count(field) == value;
    }
    platform::FakeClock clock;
    std::shared_ptr<ModuleRecord> record = std::make_shared<ModuleRecord>();
    std::vector<CPhysicalConnection*> taken;
};

} // namespace

TEST_F(Queue, OneConnectionPerPortWithItsOwnWorker) {
    CPhysicalConnection* a = Get("/dev/ttyACM0");
    CPhysicalConnection* b = Get("/dev/ttyACM0");
    CPhysicalConnection* c = Get("rfc2217://127.0.0.1:4000/with/a/long/name/that/keeps/its/Case");
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(c->PortName(), "rfc2217://127.0.0.1:4000/with/a/long/name/that/keeps/its/Case");
    taken.pop_back();
    taken.pop_back();
    ConnectionRegistry::Instance().Release(c);
    EXPECT_EQ(ConnectionRegistry::Instance().Release(c), kUnexpected);
    CPhysicalConnection* null = nullptr;
    EXPECT_EQ(ConnectionRegistry::Instance().Get(nullptr, 2, "x", 1), kInvalidArg);
    (void)null;
}

TEST_F(Queue, IdleFor3999MsKeepsTheSessionAnd4000MsEndsIt) {
    CPhysicalConnection* c = Get("/dev/ttyACM1");
    EXPECT_EQ(Run(*c, kRequestDelete, u"\\a.jad"), kFileNotFound);
    EXPECT_EQ(Count(&ModuleRecord::connects), 1);
    clock.Advance(3999);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Count(&ModuleRecord::closes), 0);
    Run(*c, kRequestDelete, u"\\a.jad");
    EXPECT_EQ(Count(&ModuleRecord::connects), 1);

    clock.Advance(4000);
    EXPECT_TRUE(WaitFor(&ModuleRecord::closes, 1));
    EXPECT_FALSE(c->Proxy()->IsConnected());
    Run(*c, kRequestDelete, u"\\a.jad");
    EXPECT_EQ(Count(&ModuleRecord::connects), 2);
}

TEST_F(Queue, APutOntoACachedNameFailsWithoutModuleTraffic) {
    record->files[u"app.jad"] = 5;
    record->files[u"gone.jad"] = 5;
    CPhysicalConnection* c = Get("/dev/ttyACM2");
    FileList list;
    // Connects and caches the root listing; the successful delete keeps it cached.
    EXPECT_EQ(Run(*c, kRequestDelete, u"\\gone.jad"), kOk);
    int lists = Count(&ModuleRecord::lists);
    EXPECT_EQ(Run(*c, kRequestPut, u"\\app.jad"), kAlreadyExists);
    EXPECT_EQ(Count(&ModuleRecord::lists), lists);
    EXPECT_EQ(Count(&ModuleRecord::puts), 0);

    // A 0-byte put of a new name goes out and lands in the cached listing.
    EXPECT_EQ(Run(*c, kRequestPut, u"\\empty.jad"), kOk);
    EXPECT_EQ(c->Proxy()->List(1, u"\\empty.jad", &list), kOk);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].size, 0u);
    EXPECT_EQ(Count(&ModuleRecord::lists), lists);
}

TEST_F(Queue, RootListingsOmitTelecomAndFullMemoryDeletesThePartialFile) {
    CPhysicalConnection* c = Get("/dev/ttyACM3");
    Run(*c, kRequestDelete, u"\\x");
    FileList list;
    EXPECT_EQ(c->Proxy()->List(1, u"\\*", &list), kFalse);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(c->Proxy()->List(1, u"\\telecom", &list), kFalse);

    {
        std::lock_guard<std::mutex> lock(record->mutex);
        record->putResult = kMediumFull;
    }
    int deletes = Count(&ModuleRecord::deletes);
    EXPECT_EQ(Run(*c, kRequestPut, u"\\big.jar"), kMediumFull);
    EXPECT_EQ(Count(&ModuleRecord::deletes), deletes + 1);
}

TEST_F(Queue, ReleaseFinishesAQueuedRequestFirst) {
    CPhysicalConnection* c = Get("/dev/ttyACM4");
    taken.clear();
    Request r(*c, kRequestPut);
    r.SetPath(u"\\late.jad");
    r.SetStream(std::make_shared<EmptyStream>(), kAttrNormal);
    r.Enqueue();
    ConnectionRegistry::Instance().Release(c);
    r.Wait();
    EXPECT_EQ(r.TakeResult(), kOk);
    std::lock_guard<std::mutex> lock(record->mutex);
    EXPECT_EQ(record->files.count(u"late.jad"), 1u);
}

TEST(FolderCacheTest, ExpiresAfterThirtyMinutesAndRemovesSubtrees) {
    platform::FakeClock clock;
    FolderCache cache(clock);
    cache.Store(u"\\a", FileList{FileEntry{u"x", u"", 1, 0, 0, 0, 0}});
    cache.Store(u"\\a\\b", {});
    cache.Store(u"\\ab", {});
    FileList out;
    clock.Advance(kFolderCacheLifetimeMs - 1);
    EXPECT_TRUE(cache.Lookup(u"\\A", &out));
    clock.Advance(1);
    EXPECT_FALSE(cache.Lookup(u"\\a", &out));
    cache.Store(u"\\a", {});
    cache.RemoveTree(u"\\a");
    EXPECT_EQ(cache.Size(), 1u); // \ab is not below \a
    cache.RemoveTree(u"");
    EXPECT_EQ(cache.Size(), 0u);
    EXPECT_EQ(FolderKey(u"A:\\app.jad"), u"A:");
    EXPECT_EQ(FolderKey(u"\\app.jad"), u"");
    EXPECT_EQ(NamePart(u"\\a\\b.jar"), u"b.jar");
}

TEST_F(Queue, TheFacadeUploadsUnderTheFileNameAndDeletesAgain) {
    std::filesystem::path local = std::filesystem::temp_directory_path() / "facade-app.jad";
    { std::ofstream(local) << "MIDlet-Name: x\n"; }
    ASSERT_FALSE(InitFileAccess("", 115200));
    ASSERT_TRUE(InitFileAccess("/dev/ttyFacade", 115200));
    EXPECT_TRUE(UploadFile(local.string()));
    {
        std::lock_guard<std::mutex> lock(record->mutex);
        EXPECT_EQ(record->files.count(u"facade-app.jad"), 1u); // "A:\" went on a one-drive module
    }
    int lists = Count(&ModuleRecord::lists);
    EXPECT_FALSE(SendFile("A:\\missing.jad", (local.parent_path() / "no-such-file.jad").string()));
    EXPECT_FALSE(SendFile("A:\\folder.jad", local.parent_path().string()));
    EXPECT_EQ(Count(&ModuleRecord::lists), lists);
    EXPECT_TRUE(DeleteModuleFile("A:\\facade-app.jad"));
    EXPECT_FALSE(DeleteModuleFile("A:\\facade-app.jad")); // Not Found
    EXPECT_FALSE(DeleteModuleFile("A:\\bad|name"));
    DeinitFileAccess();
    EXPECT_FALSE(DeleteModuleFile("A:\\facade-app.jad"));
    std::filesystem::remove(local);
}
