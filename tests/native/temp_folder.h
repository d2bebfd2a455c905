// A fresh folder per test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

class TTempFolder {
public:
    TTempFolder()
    {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("velt" + std::to_string(rd() % 100000000));
        std::filesystem::create_directories(path_);
    }
    ~TTempFolder()
    {
        std::error_code ec;
        // Read-only files made by a test must not stop the clean-up.
        for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
            std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    // Path in the system's own form (backslashes on Windows).
    std::string Path() const { return path_.string(); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    static std::string Read(const std::string& path)
    {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    static void Write(const std::string& path, const std::string& data)
    {
        std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
    }

private:
    std::filesystem::path path_;
};
