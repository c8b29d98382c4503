#include "obex/upload_progress.h"

#include <atomic>

namespace obex {
namespace {

std::atomic<UploadObserver*> observer{nullptr};

class ProgressStream : public IStream {
public:
    explicit ProgressStream(std::shared_ptr<IStream> inner) : inner_(std::move(inner)) {}

    HRESULT Read(void* buffer, uint32_t count, uint32_t* read) override {
        if (position_ > 0) ReportBytesSent(position_);
        uint32_t got = 0;
        HRESULT hr = inner_->Read(buffer, count, &got);
        position_ += got;
        if (read) *read = got;
        return hr;
    }
    HRESULT Seek(int64_t move, int origin, uint64_t* newPosition) override {
        uint64_t position = 0;
        HRESULT hr = inner_->Seek(move, origin, &position);
        if (Succeeded(hr)) position_ = position;
        if (newPosition) *newPosition = position;
        return hr;
    }
    HRESULT Stat(StreamStat* stat) override { return inner_->Stat(stat); }

private:
    std::shared_ptr<IStream> inner_;
    uint64_t position_ = 0;
};

} // namespace

void SetUploadObserver(UploadObserver* installed) { observer.store(installed); }

void ReportFileStarted(const std::string& name, uint64_t total) {
    if (UploadObserver* o = observer.load()) o->FileStarted(name, total);
}

void ReportBytesSent(uint64_t sent) {
    if (UploadObserver* o = observer.load()) o->BytesSent(sent);
}

void ReportFileFinished() {
    if (UploadObserver* o = observer.load()) o->FileFinished();
}

std::shared_ptr<IStream> WithUploadProgress(std::shared_ptr<IStream> stream) {
    if (!stream || observer.load() == nullptr) return stream;
    return std::make_shared<ProgressStream>(std::move(stream));
}

} // namespace obex
