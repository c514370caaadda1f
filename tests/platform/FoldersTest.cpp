#include "platform/Folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "TempFolder.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

TEST(Folders, CreatesFoldersAndTellsFilesFromFolders)
{
    TempFolder folder;
    const std::string nested = JoinPath(JoinPath(folder / "one", "two"), "three");
    EXPECT_FALSE(FolderExists(nested));
    EXPECT_TRUE(CreateFolder(nested));
    EXPECT_TRUE(FolderExists(nested));
    EXPECT_FALSE(FileExists(nested));
    EXPECT_TRUE(CreateFolder(nested));  // already there
    EXPECT_TRUE(CreateFolder(JoinPath(folder / "trailing", "")));
    EXPECT_TRUE(FolderExists(folder / "trailing"));

    const std::string file = JoinPath(nested, "vorn.ini");
    EXPECT_FALSE(FileExists(file));
    WriteRawFile(file, "");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FolderExists(file));
    EXPECT_FALSE(CreateFolder(file));
    EXPECT_FALSE(CreateFolder(JoinPath(file, "below")));

    EXPECT_FALSE(CreateFolder(""));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FolderExists(""));

    // One separator between folder and name, never two.
    EXPECT_EQ(JoinPath(JoinPath("base", ""), "name"), JoinPath("base", "name"));
    EXPECT_NE(JoinPath("base", "name"), "basename");
}

#ifdef _WIN32

TEST(Folders, ShellFoldersExist)
{
    const std::string appData = LocalAppDataFolder();
    const std::string documents = DocumentsFolder();
    EXPECT_TRUE(FolderExists(appData)) << appData;
    EXPECT_TRUE(FolderExists(documents)) << documents;
    EXPECT_NE(appData, documents);
    // The local folder, not the roaming one.
    EXPECT_NE(appData.find("Local"), std::string::npos) << appData;

    const std::string vorn = JoinPath(appData, "TaskelRorev");
    EXPECT_TRUE(CreateFolder(vorn));
    EXPECT_TRUE(FolderExists(vorn));
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(std::u8string(vorn.begin(), vorn.end())), ignored);
}

#else

// Sets environment variables for one test and restores them afterwards.
class ScopedEnvironment {
public:
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }
    void Set(const std::string& name, const char* value)
    {
        if (m_saved.find(name) == m_saved.end()) {
            const char* old = std::getenv(name.c_str());
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value) {
            setenv(name.c_str(), value, 1);
        } else {
            unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string> > m_saved;
};

// HOME at a fresh folder and no XDG variables.
class XdgFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_environment.Set("HOME", m_home.Path().c_str());
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR"}) {
            m_environment.Set(name, nullptr);
        }
    }
    void WriteUserDirs(const std::string& configFolder, const std::string& text)
    {
        ASSERT_TRUE(CreateFolder(configFolder));
        WriteRawFile(JoinPath(configFolder, "user-dirs.dirs"), text);
    }

    TempFolder m_home;
    ScopedEnvironment m_environment;
};

TEST_F(XdgFolders, LocalAppDataFollowsXdgDataHome)
{
    EXPECT_EQ(LocalAppDataFolder(), m_home.Path() + "/.local/share");
    m_environment.Set("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(LocalAppDataFolder(), "/srv/data");
    m_environment.Set("XDG_DATA_HOME", "relative/data");  // not absolute: ignored
    EXPECT_EQ(LocalAppDataFolder(), m_home.Path() + "/.local/share");
    m_environment.Set("XDG_DATA_HOME", "");
    EXPECT_EQ(LocalAppDataFolder(), m_home.Path() + "/.local/share");

    // Without HOME the password database names the home folder.
    m_environment.Set("HOME", nullptr);
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(LocalAppDataFolder(), std::string(entry->pw_dir) + "/.local/share");
}

TEST_F(XdgFolders, DocumentsFromEnvironmentUserDirsOrDefault)
{
    EXPECT_EQ(DocumentsFolder(), m_home.Path() + "/Documents");

    const std::string config = m_home / ".config";
    WriteUserDirs(config,
                  "# written by xdg-user-dirs-update\n"
                  "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                  "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(DocumentsFolder(), m_home.Path() + "/Dokumente");

    WriteUserDirs(config, "XDG_DOCUMENTS_DIR=\"/data/My \\\"Docs\\\" \\$x\"\n");
    EXPECT_EQ(DocumentsFolder(), "/data/My \"Docs\" $x");

    // Entries that are neither below $HOME nor absolute, or not closed, are
    // skipped; the last usable one counts.
    WriteUserDirs(config,
                  "XDG_DOCUMENTS_DIR=\"$HOME/first\"\n"
                  "XDG_DOCUMENTS_DIR=\"$HOMEWORK/x\"\n"
                  "XDG_DOCUMENTS_DIR=\"relative\"\n"
                  "XDG_DOCUMENTS_DIR=\"/unclosed\n"
                  "XDG_DOCUMENTS_DIRS=\"/other\"\n"
                  "#XDG_DOCUMENTS_DIR=\"/comment\"\n");
    EXPECT_EQ(DocumentsFolder(), m_home.Path() + "/first");
    WriteUserDirs(config, std::string("XDG_DOCUMENTS_DIR=\"\xFF\x00/x\"\n", 24));
    EXPECT_EQ(DocumentsFolder(), m_home.Path() + "/Documents");

    // XDG_CONFIG_HOME moves the file; the variable itself comes first.
    const std::string otherConfig = m_home / "conf";
    WriteUserDirs(otherConfig, "XDG_DOCUMENTS_DIR=\"$HOME/Elsewhere\"\n");
    m_environment.Set("XDG_CONFIG_HOME", otherConfig.c_str());
    EXPECT_EQ(DocumentsFolder(), m_home.Path() + "/Elsewhere");
    m_environment.Set("XDG_DOCUMENTS_DIR", "/mnt/docs");
    EXPECT_EQ(DocumentsFolder(), "/mnt/docs");
}

#endif

}  // namespace
