#pragma once
// A fresh folder under the temporary folder, removed with everything in it at the end.
#include <filesystem>
#include <string>

namespace regaccess::testing {

class TempFolder {
public:
    explicit TempFolder(const std::string& tag);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return (std::filesystem::path(path_) / name).string(); }

private:
    std::string path_;
};

} // namespace regaccess::testing
