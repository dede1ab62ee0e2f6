// A fresh folder under the system's temporary directory, removed with
// everything in it when the object dies.
#pragma once

#include <filesystem>
#include <string>

class TempDir {
public:
    explicit TempDir(const std::string& prefix);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const noexcept { return m_path; }

private:
    std::filesystem::path m_path;
};
