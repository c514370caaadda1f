// A fresh folder per test under the system's temporary folder, removed with
// everything in it at the end of the test, and raw file helpers that bypass
// the profile functions.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/File.h"
#include "platform/Folders.h"

class TempFolder {
public:
    TempFolder()
    {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        m_root = base / ("vorn-platform-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(m_root);
        const std::u8string utf8 = m_root.u8string();
        m_path.assign(utf8.begin(), utf8.end());
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // UTF-8 path of the folder, and of a name inside it.
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return JoinPath(m_path, name); }

private:
    std::filesystem::path m_root;
    std::string m_path;
};

inline void WriteRawFile(const std::string& path, const std::string& bytes)
{
    std::FILE* file = OpenFile(path.c_str(), "wb");
    if (file != nullptr) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string ReadRawFile(const std::string& path)
{
    std::FILE* file = OpenFile(path.c_str(), "rb");
    if (file == nullptr) {
        return "<missing>";
    }
    std::string bytes;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, n);
    }
    std::fclose(file);
    return bytes;
}
