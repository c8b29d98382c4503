#include "fake_operations.h"

namespace obextest {

obex::HRESULT FakeOperations::DeleteFile(int, const std::u16string& path) {
    std::lock_guard<std::mutex> lock(record_->mutex);
    ++record_->deletes;
    return record_->files.erase(path.substr(path.rfind(u'\\') + 1)) ? obex::kOk : obex::kFileNotFound;
}

obex::HRESULT FakeOperations::List(int, const std::u16string&, obex::FileList* list) {
    std::lock_guard<std::mutex> lock(record_->mutex);
    ++record_->lists;
    if (record_->hasTelecom) list->push_back(obex::FileEntry{u"telecom", u"", 0, obex::kAttrFolder, 0, 0, 0});
    for (const auto& [name, size] : record_->files) list->push_back(obex::FileEntry{name, u"", size, 0, 0, 0, 0});
    return list->empty() ? obex::kFalse : obex::kOk;
}

obex::HRESULT FakeOperations::CloseTransport() {
    std::lock_guard<std::mutex> lock(record_->mutex);
    ++record_->closes;
    return obex::kOk;
}

obex::HRESULT FakeOperations::PutFile(int, const std::u16string& path, std::shared_ptr<obex::IStream>, uint32_t size,
                                      uint32_t, double, double, double) {
    std::lock_guard<std::mutex> lock(record_->mutex);
    ++record_->puts;
    if (obex::Failed(record_->putResult)) return record_->putResult;
    record_->files[path.substr(path.rfind(u'\\') + 1)] = size;
    return obex::kOk;
}

obex::HRESULT FakeOperations::Connect(int* session, bool irmc) {
    std::lock_guard<std::mutex> lock(record_->mutex);
    ++record_->connects;
    *session = irmc ? 2 : 1;
    return obex::kOk;
}

} // namespace obextest
