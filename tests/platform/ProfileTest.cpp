// The INI profile functions. Every case that runs on both platforms is
// checked on Windows (under Wine) against the system's profile functions, and
// the Linux half has to give the same results.
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempFolder.h"
#include "platform/Folders.h"

namespace {

std::string Read(const std::string& path, const char* section, const char* key,
                 const char* defaultValue = "<def>", std::size_t capacity = 256)
{
    std::vector<char> buffer(capacity + 1, '#');
    const std::size_t count = ProfileReadString(path, section, key, defaultValue, buffer.data(), capacity);
    EXPECT_LT(count, capacity == 0 ? 1 : capacity);
    if (capacity == 0) {
        return std::string(buffer.data(), 1);
    }
    EXPECT_EQ(buffer[count], '\0') << "no terminating zero after " << count << " bytes";
    return std::string(buffer.data(), count);
}

TEST(Profile, WritesCreateTheFileInTheWindowsLayout)
{
    TempFolder folder;
    const std::string ini = folder / "vorn.ini";
    EXPECT_FALSE(FileExists(ini));

    EXPECT_TRUE(ProfileWriteString(ini, "A", "k1", "v1"));
    EXPECT_TRUE(FileExists(ini));
    EXPECT_EQ(ReadRawFile(ini), "[A]\r\nk1=v1\r\n");

    EXPECT_TRUE(ProfileWriteString(ini, "B", "k2", "v2"));
    EXPECT_TRUE(ProfileWriteString(ini, "a", "K3", "v3"));   // existing section, other case
    EXPECT_TRUE(ProfileWriteString(ini, "A", "K1", "new"));  // existing key keeps its spelling
    EXPECT_TRUE(ProfileWriteString(ini, " B ", " k4 ", "   lead"));
    EXPECT_TRUE(ProfileWriteString(ini, "C", "empty", ""));
    EXPECT_EQ(ReadRawFile(ini), "[A]\r\nk1=new\r\nK3=v3\r\n[B]\r\nk2=v2\r\nk4=lead\r\n[C]\r\nempty=\r\n");

    // The file is readable back through the same functions, in any case.
    EXPECT_EQ(Read(ini, "a", "K1"), "new");
    EXPECT_EQ(Read(ini, " A ", " k3 "), "v3");
    EXPECT_EQ(Read(ini, "b", "K4"), "lead");
    EXPECT_EQ(Read(ini, "c", "EMPTY"), "");

    // A folder that does not exist: nothing is written.
    const std::string nowhere = JoinPath(folder / "missing", "vorn.ini");
    EXPECT_FALSE(ProfileWriteString(nowhere, "A", "k", "v"));
    EXPECT_FALSE(FileExists(nowhere));
    EXPECT_FALSE(ProfileWriteString(ini, nullptr, "k", "v"));
}

TEST(Profile, MissingKeysGiveTheDefault)
{
    TempFolder folder;
    const std::string missingFile = folder / "missing.ini";
    EXPECT_EQ(Read(missingFile, "A", "k", "fallback"), "fallback");
    EXPECT_FALSE(FileExists(missingFile));

    const std::string ini = folder / "vorn.ini";
    WriteRawFile(ini, "[A]\r\nk=1\r\nnoequals\r\n; comment\r\n[B]\r\n");
    EXPECT_EQ(Read(ini, "A", "other", "d"), "d");
    EXPECT_EQ(Read(ini, "Z", "k", "d"), "d");
    EXPECT_EQ(Read(ini, "B", "k", "d"), "d");
    EXPECT_EQ(Read(ini, "A", "noequals", "d"), "d");  // a line without "=" has no value
    EXPECT_EQ(Read(ini, "A", "; comment", "d"), "d");

    // The default loses trailing spaces (never all of them) and its quotes.
    EXPECT_EQ(Read(ini, "A", "x", "d  "), "d");
    EXPECT_EQ(Read(ini, "A", "x", "   "), " ");
    EXPECT_EQ(Read(ini, "A", "x", " lead"), " lead");
    EXPECT_EQ(Read(ini, "A", "x", "\"q\""), "q");
    EXPECT_EQ(Read(ini, "A", "x", ""), "");
    EXPECT_EQ(Read(ini, "A", "x", nullptr), "");
    EXPECT_EQ(Read(missingFile, "A", "x", "d  "), "d");

    // A null section or key gives nothing rather than a list of names.
    EXPECT_EQ(Read(ini, nullptr, "k"), "");
    EXPECT_EQ(Read(ini, "A", nullptr), "");
}

TEST(Profile, ValuesAreTrimmedAndUnquoted)
{
    TempFolder folder;
    const std::string ini = folder / "vorn.ini";
    WriteRawFile(ini,
                 "lead=top\r\n"
                 "[ Sec ]\r\n"
                 "  Key  =  spaced value  \r\n"
                 "tab\t=\tx\t\r\n"
                 "empty=\r\n"
                 "blank=    \r\n"
                 "q1=\"quoted\"\r\n"
                 "q2='single'\r\n"
                 "q3=\"unbalanced\r\n"
                 "q4=\"a\"b\"\r\n"
                 "q5=\"\r\n"
                 "q6=\"\"\r\n"
                 "q7=\" inner \"\r\n"
                 "q8=\"mixed'\r\n"
                 "eq=a=b\r\n"
                 "=nameless\r\n");
    EXPECT_EQ(Read(ini, "", "lead"), "top");
    EXPECT_EQ(Read(ini, "sec", "key"), "spaced value");
    EXPECT_EQ(Read(ini, "sec", "tab"), "x");
    EXPECT_EQ(Read(ini, "sec", "empty"), "");
    EXPECT_EQ(Read(ini, "sec", "blank"), "");
    EXPECT_EQ(Read(ini, "sec", "q1"), "quoted");
    EXPECT_EQ(Read(ini, "sec", "q2"), "single");
    EXPECT_EQ(Read(ini, "sec", "q3"), "\"unbalanced");
    EXPECT_EQ(Read(ini, "sec", "q4"), "a\"b");
    EXPECT_EQ(Read(ini, "sec", "q5"), "\"");
    EXPECT_EQ(Read(ini, "sec", "q6"), "");
    EXPECT_EQ(Read(ini, "sec", "q7"), " inner ");
    EXPECT_EQ(Read(ini, "sec", "q8"), "\"mixed'");
    EXPECT_EQ(Read(ini, "sec", "eq"), "a=b");
    EXPECT_EQ(Read(ini, "sec", ""), "nameless");
}

TEST(Profile, ValuesAreCutToTheBuffer)
{
    TempFolder folder;
    const std::string ini = folder / "vorn.ini";
    WriteRawFile(ini, "[S]\r\nkey=spaced value\r\nq=\"quoted\"\r\n");
    // Through the profile functions: the Windows file is in the ANSI code page.
    ASSERT_TRUE(ProfileWriteString(ini, "S", "u", "a\xC3\xA9z"));

    char untouched[2] = {'#', '#'};
    EXPECT_EQ(ProfileReadString(ini, "S", "key", "", untouched, 0), 0u);
    EXPECT_EQ(untouched[0], '#');
    EXPECT_EQ(ProfileReadString(ini, "S", "key", "", nullptr, 10), 0u);
    EXPECT_EQ(Read(ini, "S", "key", "", 1), "");
    EXPECT_EQ(Read(ini, "S", "key", "", 2), "s");
    EXPECT_EQ(Read(ini, "S", "key", "", 7), "spaced");
    EXPECT_EQ(Read(ini, "S", "key", "", 13), "spaced value");
    EXPECT_EQ(Read(ini, "S", "missing", "long default", 5), "long");

    // A quoted value loses its last character when the buffer has room for
    // everything after the opening quote, the closing quote included.
    const std::vector<std::pair<std::size_t, std::string>> quoted = {
        {1, ""}, {2, "q"}, {3, "qu"}, {6, "quote"}, {7, "quote"}, {8, "quoted"}, {9, "quoted"}};
    for (const auto& [capacity, expected] : quoted) {
        EXPECT_EQ(Read(ini, "S", "q", "", capacity), expected) << "capacity " << capacity;
    }

    // Cuts never split a UTF-8 sequence.
    EXPECT_EQ(Read(ini, "S", "u", "", 2), "a");
    EXPECT_EQ(Read(ini, "S", "u", "", 3), "a");
    EXPECT_EQ(Read(ini, "S", "u", "", 4), "a\xC3\xA9");
    EXPECT_EQ(Read(ini, "S", "u", "", 5), "a\xC3\xA9z");
}

TEST(Profile, DeletingKeysAndSections)
{
    TempFolder folder;
    const std::string ini = folder / "vorn.ini";
    ASSERT_TRUE(ProfileWriteString(ini, "A", "k1", "1"));
    ASSERT_TRUE(ProfileWriteString(ini, "A", "k2", "2"));
    ASSERT_TRUE(ProfileWriteString(ini, "B", "k1", "3"));
    ASSERT_TRUE(ProfileWriteString(ini, "C", "k1", "4"));

    EXPECT_TRUE(ProfileWriteString(ini, "a", "K1", nullptr));
    EXPECT_EQ(Read(ini, "A", "k1", "gone"), "gone");
    EXPECT_EQ(Read(ini, "B", "k1"), "3");
    EXPECT_TRUE(ProfileWriteString(ini, "b", nullptr, nullptr));
    EXPECT_EQ(Read(ini, "B", "k1", "gone"), "gone");
    EXPECT_EQ(ReadRawFile(ini), "[A]\r\nk2=2\r\n[C]\r\nk1=4\r\n");

    // Deleting what is not there succeeds and changes nothing.
    EXPECT_TRUE(ProfileWriteString(ini, "A", "nothing", nullptr));
    EXPECT_TRUE(ProfileWriteString(ini, "Nothing", nullptr, nullptr));
    EXPECT_EQ(ReadRawFile(ini), "[A]\r\nk2=2\r\n[C]\r\nk1=4\r\n");

    // ... and does not create a missing file.
    const std::string missing = folder / "missing.ini";
    EXPECT_TRUE(ProfileWriteString(missing, "A", "k", nullptr));
    EXPECT_TRUE(ProfileWriteString(missing, "A", nullptr, nullptr));
    EXPECT_TRUE(ProfileWriteEmptySection(missing, "A"));
    EXPECT_FALSE(FileExists(missing));

    // A deleted section takes its comments along; a section written again
    // goes to the end.
    const std::string notes = folder / "notes.ini";
    WriteRawFile(notes, "[A]\r\n;note\r\nk=1\r\n[B]\r\nk=2\r\n");
    EXPECT_TRUE(ProfileWriteString(notes, "A", nullptr, nullptr));
    EXPECT_EQ(ReadRawFile(notes), "[B]\r\nk=2\r\n");
    EXPECT_TRUE(ProfileWriteString(notes, "A", "k", "new"));
    EXPECT_EQ(ReadRawFile(notes), "[B]\r\nk=2\r\n[A]\r\nk=new\r\n");
}

TEST(Profile, EmptySectionKeepsItsHeader)
{
    TempFolder folder;
    const std::string ini = folder / "vorn.ini";
    ASSERT_TRUE(ProfileWriteString(ini, "Startup Bank", "File", "bank.fxb"));
    ASSERT_TRUE(ProfileWriteString(ini, "MIDI Control", "CC7", "3"));
    ASSERT_TRUE(ProfileWriteString(ini, "MIDI Control", "CC10", "4"));

    EXPECT_TRUE(ProfileWriteEmptySection(ini, "startup bank"));
    EXPECT_EQ(Read(ini, "Startup Bank", "File", "none"), "none");
    EXPECT_EQ(ReadRawFile(ini), "[Startup Bank]\r\n[MIDI Control]\r\nCC7=3\r\nCC10=4\r\n");
    // Keys written afterwards land below the kept header.
    EXPECT_TRUE(ProfileWriteString(ini, "Startup Bank", "File", ""));
    EXPECT_EQ(ReadRawFile(ini), "[Startup Bank]\r\nFile=\r\n[MIDI Control]\r\nCC7=3\r\nCC10=4\r\n");

    // Emptying a section that is not there does not create it.
    EXPECT_TRUE(ProfileWriteEmptySection(ini, "Editor"));
    EXPECT_EQ(ReadRawFile(ini), "[Startup Bank]\r\nFile=\r\n[MIDI Control]\r\nCC7=3\r\nCC10=4\r\n");
    EXPECT_FALSE(ProfileWriteEmptySection(ini, nullptr));

    // Every section of that name is emptied, comments included.
    const std::string twice = folder / "twice.ini";
    WriteRawFile(twice, "[a]\r\nk=1\r\n[b]\r\nk=2\r\n[A]\r\n;note\r\nj=3\r\n");
    EXPECT_TRUE(ProfileWriteEmptySection(twice, "a"));
    EXPECT_EQ(ReadRawFile(twice), "[a]\r\n[b]\r\nk=2\r\n[A]\r\n");
}

TEST(Profile, FirstOfDuplicateSectionsAndKeysCounts)
{
    TempFolder folder;
    const std::string ini = folder / "vorn.ini";
    const std::string text = "[a]\r\nk=1\r\ndup=first\r\ndup=second\r\n[b]\r\n[A]\r\nk=2\r\nj=3\r\n";
    WriteRawFile(ini, text);
    EXPECT_EQ(Read(ini, "a", "k"), "1");
    EXPECT_EQ(Read(ini, "a", "dup"), "first");
    EXPECT_EQ(Read(ini, "a", "j", "d"), "d");  // only the first section is searched

    EXPECT_TRUE(ProfileWriteString(ini, "a", "dup", "changed"));
    EXPECT_TRUE(ProfileWriteString(ini, "a", "j", "4"));
    EXPECT_EQ(ReadRawFile(ini),
              "[a]\r\nk=1\r\ndup=changed\r\ndup=second\r\nj=4\r\n[b]\r\n[A]\r\nk=2\r\nj=3\r\n");

    // Deleting a key searches every section of that name. (Each case gets a
    // new file: Windows may keep a file cached while its time stamp stays.)
    const std::string keyDeleted = folder / "key.ini";
    WriteRawFile(keyDeleted, text);
    EXPECT_TRUE(ProfileWriteString(keyDeleted, "a", "j", nullptr));
    EXPECT_EQ(ReadRawFile(keyDeleted), "[a]\r\nk=1\r\ndup=first\r\ndup=second\r\n[b]\r\n[A]\r\nk=2\r\n");
    // Deleting a section removes the first one only.
    const std::string sectionDeleted = folder / "section.ini";
    WriteRawFile(sectionDeleted, text);
    EXPECT_TRUE(ProfileWriteString(sectionDeleted, "a", nullptr, nullptr));
    EXPECT_EQ(ReadRawFile(sectionDeleted), "[b]\r\n[A]\r\nk=2\r\nj=3\r\n");
    EXPECT_EQ(Read(sectionDeleted, "a", "j"), "3");
}

TEST(Profile, LineEndingsAndMissingFinalNewline)
{
    TempFolder folder;
    const std::string crlf = folder / "crlf.ini";
    const std::string lf = folder / "lf.ini";
    const std::string cr = folder / "cr.ini";
    const std::string open = folder / "open.ini";
    WriteRawFile(crlf, "[x]\r\nk=v\r\n[y]\r\nz=1\r\n");
    WriteRawFile(lf, "[x]\nk=v\n[y]\nz=1\n");
    WriteRawFile(cr, "[x]\rk=v\r[y]\rz=1\r");
    WriteRawFile(open, "[x]\r\nk=v\r\n[y]\r\nz=1");
    for (const std::string& ini : {crlf, lf, cr, open}) {
        SCOPED_TRACE(ini);
        EXPECT_EQ(Read(ini, "x", "k"), "v");
        EXPECT_EQ(Read(ini, "y", "z"), "1");
        EXPECT_TRUE(ProfileWriteString(ini, "x", "n", "2"));
        EXPECT_TRUE(ProfileWriteString(ini, "y", "w", "3"));
        EXPECT_TRUE(ProfileWriteString(ini, "new", "u", "4"));
        EXPECT_TRUE(ProfileWriteString(ini, "y", "z", "5"));
        EXPECT_EQ(Read(ini, "x", "k"), "v");
        EXPECT_EQ(Read(ini, "x", "n"), "2");
        EXPECT_EQ(Read(ini, "y", "z"), "5");
        EXPECT_EQ(Read(ini, "y", "w"), "3");
        EXPECT_EQ(Read(ini, "new", "u"), "4");
        EXPECT_EQ(Read(ini, "x", "w", "d"), "d");
    }
    EXPECT_EQ(ReadRawFile(open), "[x]\r\nk=v\r\nn=2\r\n[y]\r\nz=5\r\nw=3\r\n[new]\r\nu=4\r\n");

    // A byte-order mark does not belong to the first section name.
    const std::string bom = folder / "bom.ini";
    WriteRawFile(bom, "\xEF\xBB\xBF[a]\r\nk=1\r\n");
    EXPECT_EQ(Read(bom, "a", "k"), "1");
    EXPECT_TRUE(ProfileWriteString(bom, "a", "j", "2"));
    EXPECT_EQ(ReadRawFile(bom), "\xEF\xBB\xBF[a]\r\nk=1\r\nj=2\r\n");
}

TEST(Profile, WrittenValuesCannotAddLines)
{
    TempFolder folder;
    const std::string ini = folder / "vorn.ini";
    EXPECT_TRUE(ProfileWriteString(ini, "A", "k", "one\r\n[B]\r\ninjected=1"));
    EXPECT_TRUE(ProfileWriteString(ini, "A", "j", "two\nx=y"));
    EXPECT_TRUE(ProfileWriteString(ini, "A\n[C]", "c\rd", "three"));
    EXPECT_EQ(Read(ini, "A", "k"), "one");
    EXPECT_EQ(Read(ini, "A", "j"), "two");
    EXPECT_EQ(Read(ini, "A", "c"), "three");
    EXPECT_EQ(Read(ini, "B", "injected", "d"), "d");
    EXPECT_EQ(Read(ini, "A", "x", "d"), "d");
    EXPECT_EQ(ReadRawFile(ini), "[A]\r\nk=one\r\nj=two\r\nc=three\r\n");
}

TEST(Profile, HostileFilesGiveDefinedResults)
{
    TempFolder folder;
    const std::string ini = folder / "vorn.ini";

    // A megabyte-long value, a long key and a long section name.
    const std::string longValue(1 << 20, 'v');
    const std::string longKey(70000, 'k');
    const std::string longSection(70000, 's');
    WriteRawFile(ini, "[S]\r\nbig=" + longValue + "\r\n" + longKey + "=long key\r\n[" + longSection +
                          "]\r\nx=in long section\r\n[T]\r\nafter=1\r\n");
    EXPECT_EQ(Read(ini, "S", "big", "", 64), std::string(63, 'v'));
    EXPECT_EQ(Read(ini, "S", longKey.c_str(), "", 64), "long key");
    EXPECT_EQ(Read(ini, longSection.c_str(), "x", "", 64), "in long section");
    EXPECT_EQ(Read(ini, "T", "after"), "1");
    std::vector<char> whole(longValue.size() + 1);
    EXPECT_EQ(ProfileReadString(ini, "S", "big", "", whole.data(), whole.size()), longValue.size());
    EXPECT_TRUE(ProfileWriteString(ini, "T", "added", "2"));
    EXPECT_EQ(Read(ini, "S", "big", "", 4), "vvv");
    EXPECT_EQ(Read(ini, "T", "added"), "2");

    // Binary bytes and odd headers around readable keys.
    std::string binary = "\x01\x02\xFF\xFE garbage\r\n[a]]x\r\nk=1\r\n[b\r\nk2=2\r\n  [c]  \r\nk3=3\r\n";
    binary += "\x7F\x80\x81=\xC0\xC1\r\n[d]\r\nctl=\x1a\x01\x1a\r\n";
    const std::string odd = folder / "odd.ini";
    WriteRawFile(odd, binary);
    EXPECT_EQ(Read(odd, "a]", "k"), "1");   // the last "]" closes the name
    EXPECT_EQ(Read(odd, "a]", "k2"), "2");  // "[b" is no header
    EXPECT_EQ(Read(odd, "a", "k", "d"), "d");
    EXPECT_EQ(Read(odd, "c", "k3"), "3");
    EXPECT_EQ(Read(odd, "d", "ctl"), "\x01");  // the end-of-file mark counts as a blank
    EXPECT_TRUE(ProfileWriteString(odd, "c", "k4", "4"));
    EXPECT_EQ(Read(odd, "c", "k3"), "3");
    EXPECT_EQ(Read(odd, "c", "k4"), "4");
    EXPECT_EQ(Read(odd, "d", "ctl", "", 2), "\x01");
}

TEST(Profile, CommentsSurviveWrites)
{
    TempFolder folder;
    const std::string ini = folder / "vorn.ini";
    WriteRawFile(ini, "; settings\r\n[Editor]\r\n; edited by hand\r\nStart In Edit Mode=true\r\n");
    EXPECT_TRUE(ProfileWriteString(ini, "Editor", "Start In Edit Mode", "false"));
    EXPECT_TRUE(ProfileWriteString(ini, "Global", "Path to Program Files", "C:\\Presets"));
    const std::string text = ReadRawFile(ini);
    EXPECT_NE(text.find("; settings"), std::string::npos) << text;
    EXPECT_NE(text.find("; edited by hand"), std::string::npos) << text;
    EXPECT_EQ(Read(ini, "editor", "start in edit mode"), "false");
    EXPECT_EQ(Read(ini, "Global", "Path to Program Files"), "C:\\Presets");
}

TEST(Profile, ReadsIntegersLikeGetPrivateProfileInt)
{
    TempFolder folder;
    const std::string ini = folder / "vorn.ini";
    WriteRawFile(ini,
                 "[i]\r\n"
                 "lead=12abc\r\nletters=abc\r\nminus=-1\r\nwrap=4294967296\r\nbig=99999999999\r\n"
                 "hex=0x1F\r\nupperhex=0X1F\r\nneghex=-0x10\r\nbin=0b101\r\noct=0o17\r\nzeros=007\r\n"
                 "plus= +7\r\nquoted=\"42\"\r\ninner=\" -5\"\r\nhalf=2147483648\r\nempty=\r\nblank=   \r\n"
                 "cut=1234567890123456789012345678901234\r\nzero=0\r\n");
    const std::vector<std::pair<const char*, int>> cases = {
        {"lead", 12},  {"letters", 0},  {"minus", -1},       {"wrap", 0},   {"big", 1215752191},
        {"hex", 31},   {"upperhex", 0}, {"neghex", -16},     {"bin", 5},    {"oct", 15},
        {"zeros", 7},  {"plus", 7},     {"quoted", 42},      {"inner", -5}, {"half", -2147483647 - 1},
        {"empty", 77}, {"blank", 77},   {"cut", 1849262357}, {"zero", 0},   {"missing", 77}};
    for (const auto& [key, expected] : cases) {
        EXPECT_EQ(ProfileReadInt(ini, "i", key, 77), expected) << key;
    }
    EXPECT_EQ(ProfileReadInt(ini, "I", "LEAD", 77), 12);
    EXPECT_EQ(ProfileReadInt(folder / "missing.ini", "i", "lead", -3), -3);
}

TEST(Profile, Utf8PathsAndValues)
{
    TempFolder folder;
    const std::string unicodeFolder = folder / "Pr\xC3\xA9r\xC3\xA9glages \xC3\x9C";
    ASSERT_TRUE(CreateFolder(unicodeFolder));
    const std::string ini = JoinPath(unicodeFolder, "vorn.ini");
    // Characters of the Western code page survive the Windows ANSI file.
    const std::string value = "C:\\Users\\Ren\xC3\xA9\\Documents";
    EXPECT_TRUE(ProfileWriteString(ini, "Global", "Path to Program Files", value.c_str()));
    EXPECT_TRUE(FileExists(ini));
    EXPECT_EQ(Read(ini, "Global", "Path to Program Files"), value);
}

TEST(Profile, VeryLongPathsFailCleanly)
{
    TempFolder folder;
    std::string deep = folder.Path();
    for (int i = 0; i < 12; ++i) {
        deep = JoinPath(deep, std::string(40, static_cast<char>('a' + i)));
    }
    const std::string ini = JoinPath(deep, "vorn.ini");
    // Windows may refuse paths this long; whatever happens, a read gives back
    // either what was written or the default.
    const bool written = CreateFolder(deep) && ProfileWriteString(ini, "A", "k", "v");
    EXPECT_EQ(Read(ini, "A", "k", "d"), written ? "v" : "d");
    const std::string absurd = JoinPath(folder.Path(), std::string(100000, 'x'));
    EXPECT_FALSE(ProfileWriteString(absurd, "A", "k", "v"));
    EXPECT_EQ(Read(absurd, "A", "k", "d"), "d");
}

}  // namespace
