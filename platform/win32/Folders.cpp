#include "platform/Folders.h"

#include <windows.h>

#include <shlobj.h>

#include <string>

#include "platform/win32/Utf.h"

namespace {

std::string ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return {};
    }
    return WideToUtf8(path);
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

DWORD Attributes(const std::string& path)
{
    if (path.empty()) {
        return INVALID_FILE_ATTRIBUTES;
    }
    return GetFileAttributesW(Utf8ToWide(path).c_str());
}

}  // namespace

std::string LocalAppDataFolder()
{
    return ShellFolder(CSIDL_LOCAL_APPDATA);
}

std::string DocumentsFolder()
{
    return ShellFolder(CSIDL_PERSONAL);
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        return folder + name;
    }
    return folder + "\\" + name;
}

std::string FolderOfPath(const std::string& path)
{
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool CreateFolder(const std::string& path)
{
    const std::wstring wide = Utf8ToWide(path);
    if (wide.empty()) {
        return false;
    }
    // Create each ancestor in turn; the drive ("C:") and the server and share
    // of a UNC path ("\\server\share") already exist, so failures on them are
    // harmless and only the final check counts.
    for (std::size_t i = 1; i < wide.size(); ++i) {
        if (IsSeparator(wide[i]) && !IsSeparator(wide[i - 1])) {
            CreateDirectoryW(wide.substr(0, i).c_str(), nullptr);
        }
    }
    CreateDirectoryW(wide.c_str(), nullptr);
    return FolderExists(path);
}

bool FileExists(const std::string& path)
{
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path)
{
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
