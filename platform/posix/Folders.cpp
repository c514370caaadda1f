#include "platform/Folders.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// user-dirs.dirs is a few lines; more than this is not read.
constexpr std::size_t kMaxUserDirsBytes = 64u * 1024u;

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// The XDG base-directory variables count only when they hold absolute paths.
std::string AbsoluteEnvironment(const char* name)
{
    std::string value = Environment(name);
    return (!value.empty() && value.front() == '/') ? value : std::string();
}

std::string HomeFolder()
{
    std::string home = Environment("HOME");
    if (!home.empty()) {
        return home;
    }
    std::vector<char> scratch(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, scratch.data(), scratch.size(), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr) {
        home = result->pw_dir;
    }
    return home;
}

std::string ReadSmallFile(const std::string& path)
{
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return text;
    }
    text.resize(kMaxUserDirsBytes);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    close(fd);
    text.resize(done);
    return text;
}

// The value of XDG_DOCUMENTS_DIR in user-dirs.dirs, whose lines read
// XDG_DOCUMENTS_DIR="$HOME/Documents" or XDG_DOCUMENTS_DIR="/absolute/path",
// with \" \\ and \$ escaped. Empty when the entry is missing or malformed.
std::string DocumentsFromUserDirs(const std::string& home)
{
    std::string configHome = AbsoluteEnvironment("XDG_CONFIG_HOME");
    if (configHome.empty()) {
        if (home.empty()) {
            return {};
        }
        configHome = home + "/.config";
    }
    const std::string text = ReadSmallFile(configHome + "/user-dirs.dirs");
    constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR";
    std::string found;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        if (line.substr(0, kKey.size()) != kKey) {
            continue;
        }
        line.remove_prefix(kKey.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        if (line.size() < 2 || line[0] != '=' || line[1] != '"') {
            continue;
        }
        line.remove_prefix(2);
        std::string value;
        if (line.substr(0, 5) == "$HOME" && (line.size() == 5 || line[5] == '/' || line[5] == '"')) {
            if (home.empty()) {
                continue;
            }
            value = home;
            line.remove_prefix(5);
        } else if (line.empty() || line.front() != '/') {
            continue;
        }
        bool closed = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '"') {
                closed = true;
                break;
            }
            if (line[i] == '\\' && i + 1 < line.size()) {
                ++i;
            }
            value += line[i];
        }
        // The last valid entry wins, as the shell that sources the file sees it.
        if (closed && !value.empty()) {
            found = value;
        }
    }
    return found;
}

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string LocalAppDataFolder()
{
    std::string folder = AbsoluteEnvironment("XDG_DATA_HOME");
    if (!folder.empty()) {
        return folder;
    }
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.local/share";
}

std::string DocumentsFolder()
{
    std::string folder = AbsoluteEnvironment("XDG_DOCUMENTS_DIR");
    if (!folder.empty()) {
        return folder;
    }
    const std::string home = HomeFolder();
    folder = DocumentsFromUserDirs(home);
    if (!folder.empty()) {
        return folder;
    }
    return home.empty() ? std::string() : home + "/Documents";
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

std::string FolderOfPath(const std::string& path)
{
    const std::size_t cut = path.find_last_of("/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool CreateFolder(const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    // Create each ancestor in turn; existing ones fail with EEXIST, and only
    // the final check counts.
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '/' && path[i - 1] != '/') {
            mkdir(path.substr(0, i).c_str(), 0777);
        }
    }
    mkdir(path.c_str(), 0777);
    return IsFolder(path);
}

bool FileExists(const std::string& path)
{
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool FolderExists(const std::string& path)
{
    return IsFolder(path);
}
