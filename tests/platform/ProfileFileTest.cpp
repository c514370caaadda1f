// How the Linux half replaces the INI file. (Windows writes through its own
// profile functions, so these cases do not apply there.)
#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "TempFolder.h"
#include "platform/Profile.h"

namespace {

// Limits the size of files this process may write, so that writing the
// temporary file fails part-way, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        signal(SIGXFSZ, m_savedHandler);
    }

private:
    rlimit m_saved{};
    sighandler_t m_savedHandler = SIG_DFL;
};

int EntriesIn(const std::string& folder)
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

TEST(ProfileFile, FailedWriteLeavesTheOldFileIntact)
{
    TempFolder folder;
    const std::string ini = folder / "vorn.ini";
    const std::string original = "[A]\r\nk=1\r\n";
    WriteRawFile(ini, original);
    const std::string longValue(4096, 'x');
    {
        FileSizeLimit limit(1024);
        EXPECT_FALSE(ProfileWriteString(ini, "A", "big", longValue.c_str()));
    }
    EXPECT_EQ(ReadRawFile(ini), original);
    EXPECT_EQ(EntriesIn(folder.Path()), 1) << "the temporary file is removed";

    // Once there is room the same write succeeds.
    EXPECT_TRUE(ProfileWriteString(ini, "A", "big", longValue.c_str()));
    EXPECT_EQ(EntriesIn(folder.Path()), 1);
    char buffer[8];
    EXPECT_EQ(ProfileReadString(ini, "A", "big", "", buffer, sizeof buffer), 7u);
}

TEST(ProfileFile, KeepsLinksModesAndUntouchedLines)
{
    TempFolder folder;
    // Blank lines, spacing and LF line ends of a hand-written file stay as
    // they are; a new key goes above the blank line that ends its section.
    const std::string ini = folder / "vorn.ini";
    WriteRawFile(ini, "# mine\n[A]\n  k = 1 \n\n[B]\nj=2\n");
    ASSERT_EQ(chmod(ini.c_str(), 0600), 0);
    EXPECT_TRUE(ProfileWriteString(ini, "A", "n", "3"));
    EXPECT_EQ(ReadRawFile(ini), "# mine\n[A]\n  k = 1 \nn=3\n\n[B]\nj=2\n");
    struct stat info {};
    ASSERT_EQ(stat(ini.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Writing the value a key already has does not touch the file.
    ASSERT_EQ(stat(ini.c_str(), &info), 0);
    const ino_t before = info.st_ino;
    EXPECT_TRUE(ProfileWriteString(ini, "a", "K", "1"));
    ASSERT_EQ(stat(ini.c_str(), &info), 0);
    EXPECT_EQ(info.st_ino, before);

    // A link stays a link; the file it names is replaced.
    const std::string target = folder / "real.ini";
    const std::string link = folder / "link.ini";
    WriteRawFile(target, "[A]\r\nk=1\r\n");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_TRUE(ProfileWriteString(link, "A", "k", "2"));
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadRawFile(target), "[A]\r\nk=2\r\n");
}

TEST(ProfileFile, UnreadablePathsAreNotReplaced)
{
    TempFolder folder;
    // A folder where the file should be: reads give the default, writes fail.
    const std::string ini = folder / "vorn.ini";
    ASSERT_TRUE(CreateFolder(ini));
    char buffer[16];
    EXPECT_EQ(ProfileReadString(ini, "A", "k", "d", buffer, sizeof buffer), 1u);
    EXPECT_FALSE(ProfileWriteString(ini, "A", "k", "v"));
    EXPECT_TRUE(FolderExists(ini));
    EXPECT_FALSE(ProfileWriteString("", "A", "k", "v"));
}

}  // namespace

#endif
