#pragma once
// A scripted module file system behind the request queue and the proxy: it counts what reaches
// it, so tests can tell cached answers and reconnects from module traffic.
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "obex/iobex2.h"
#include "obex/physical_connection.h"
#include "platform/clock.h"

namespace obextest {

struct ModuleRecord {
    std::mutex mutex;
    std::map<std::u16string, uint32_t> files; // name in the root -> size
    bool hasTelecom = true;
    int connects = 0, closes = 0, lists = 0, puts = 0, deletes = 0;
    int drives = 1;
    obex::HRESULT putResult = obex::kOk;
};

class FakeOperations : public obex::IObex2 {
public:
    explicit FakeOperations(std::shared_ptr<ModuleRecord> record) : record_(std::move(record)) {}
    using H = obex::HRESULT;
    H Copy(int, const std::u16string&, const std::u16string&) override { return obex::kOk; }
    H CreateFolder(int, const std::u16string&) override { return obex::kOk; }
    H DeleteFile(int, const std::u16string& path) override;
    H List(int, const std::u16string& path, obex::FileList* list) override;
    H Disconnect(int, bool) override { return obex::kOk; }
    H CloseTransport() override;
    H DriveCommand(int, const std::u16string&, const std::u16string*) override { return obex::kOk; }
    H QueryText(int, const std::u16string&, std::u16string*, uint8_t) override { return obex::kOk; }
    H QueryValue(int, const std::u16string&, uint32_t*, uint8_t) override { return obex::kOk; }
    H QueryWord(int, const std::u16string&, uint32_t, uint16_t*) override { return obex::kOk; }
    H GetFile(int, const std::u16string&, obex::IObexStream&, uint8_t) override { return obex::kOk; }
    H Move(int, const std::u16string&, const std::u16string&) override { return obex::kOk; }
    H MoveFolder(int, const std::u16string&, const std::u16string&) override { return obex::kOk; }
    H PutFile(int, const std::u16string& path, std::shared_ptr<obex::IStream>, uint32_t size, uint32_t, double, double,
              double) override;
    H DeleteFolder(int, const std::u16string&) override { return obex::kOk; }
    H SetText(int, const std::u16string&, const std::u16string&, uint8_t) override { return obex::kOk; }
    H SetAttributes(int, const std::u16string&, uint32_t) override { return obex::kOk; }
    H SetTimes(int, const std::u16string&, double, double, double) override { return obex::kOk; }
    H OpenPort(const std::string&, uint32_t) override { return obex::kOk; }
    H Connect(int* session, bool irmc) override;
    H Attach(obex::ITransportLayer*) override { return obex::kOk; }
    H GetModel(std::string* text, std::size_t) override {
        *text = "FAKE";
        return obex::kOk;
    }
    H GetDriveCount(int* count) override {
        *count = record_->drives;
        return obex::kOk;
    }

private:
    std::shared_ptr<ModuleRecord> record_;
};

// A connection environment on a fake clock whose module is a FakeOperations.
class FakeEnvironment : public obex::ConnectionEnvironment {
public:
    FakeEnvironment(platform::Clock& clock, std::shared_ptr<ModuleRecord> record) : clock_(clock), record_(record) {}
    platform::Clock& Clock() override { return clock_; }
    std::unique_ptr<obex::IObex2> MakeOperations() override { return std::make_unique<FakeOperations>(record_); }
    obex::HRESULT OpenPort(const std::string&) override { return obex::kOk; }
    void ClosePort() override {}
    std::unique_ptr<obex::ITransportLayer> MakeTransport() override { return nullptr; }

private:
    platform::Clock& clock_;
    std::shared_ptr<ModuleRecord> record_;
};

} // namespace obextest
