#pragma once

#include <string>
#include <string_view>

namespace feedrail::test {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::string& Path() const { return path_; }
    std::string File(std::string_view name) const;

private:
    std::string path_;
};

void WriteFile(const std::string& path, std::string_view content);
std::string ReadFile(const std::string& path);

} // namespace feedrail::test
