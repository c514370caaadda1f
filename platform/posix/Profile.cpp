#include "platform/Profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Larger files are not read (reads give defaults, writes fail and leave the
// file alone), which bounds the memory a hostile file can take.
constexpr std::size_t kMaxFileBytes = 64u * 1024u * 1024u;
// GetPrivateProfileInt reads the value into a buffer of this many characters.
constexpr std::size_t kIntBufferSize = 30;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Serializes read-modify-write cycles of the instances in this process.
std::mutex& ProfileMutex()
{
    static std::mutex mutex;
    return mutex;
}

// The profile functions treat the ASCII white space and the DOS end-of-file
// character as blanks.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

// A name or value given by the caller, up to its first line break.
std::string_view OneLine(const char* text)
{
    std::string_view view(text);
    return view.substr(0, view.find_first_of("\r\n"));
}

enum class LineKind { Blank, Header, Key };

struct Line {
    std::size_t begin = 0;  // first byte of the line
    std::size_t end = 0;    // end of its content, where the line break starts
    std::size_t next = 0;   // first byte after the line break
    LineKind kind = LineKind::Blank;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // trimmed value of a key line with "="
    bool hasValue = false;
};

struct Section {
    std::string_view name;
    std::size_t header = kNone;  // line index of "[name]"; kNone for the lines before the first header
    std::size_t first = 0;       // body lines [first, last)
    std::size_t last = 0;
};

struct Document {
    std::string text;
    std::size_t start = 0;  // after a UTF-8 byte-order mark
    std::string eol = "\r\n";
    std::vector<Line> lines;
    std::vector<Section> sections;
};

Line ClassifyLine(std::string_view text, std::size_t begin, std::size_t end, std::size_t next)
{
    Line line;
    line.begin = begin;
    line.end = end;
    line.next = next;
    std::string_view content = text.substr(begin, end - begin);
    content = Trim(content.substr(0, content.find('\0')));
    if (content.empty()) {
        return line;
    }
    if (content.front() == '[') {
        const std::size_t close = content.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            line.kind = LineKind::Header;
            line.name = Trim(content.substr(1, close - 1));
            return line;
        }
    }
    line.kind = LineKind::Key;
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) {
        line.name = content;
    } else {
        line.name = Trim(content.substr(0, equals));
        line.value = Trim(content.substr(equals + 1));
        line.hasValue = true;
    }
    return line;
}

void Parse(Document& doc)
{
    const std::string_view text = doc.text;
    doc.start = text.substr(0, kUtf8Bom.size()) == kUtf8Bom ? kUtf8Bom.size() : 0;
    // New lines follow the file's first line break; CR LF for a file without one.
    const std::size_t firstBreak = text.find_first_of("\r\n", doc.start);
    if (firstBreak != std::string_view::npos) {
        doc.eol = text.substr(firstBreak, 2) == "\r\n" ? "\r\n" : std::string(1, text[firstBreak]);
    }

    doc.sections.push_back(Section{});
    std::size_t pos = doc.start;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        std::size_t next;
        if (end == std::string_view::npos) {
            end = text.size();
            next = end;
        } else {
            next = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
        }
        const Line line = ClassifyLine(text, pos, end, next);
        if (line.kind == LineKind::Header) {
            doc.sections.back().last = doc.lines.size();
            Section section;
            section.name = line.name;
            section.header = doc.lines.size();
            section.first = doc.lines.size() + 1;
            doc.sections.push_back(section);
        }
        doc.lines.push_back(line);
        pos = next;
    }
    doc.sections.back().last = doc.lines.size();
}

enum class LoadResult { Loaded, Missing, Failed };

LoadResult LoadFile(const std::string& path, std::string& text)
{
    text.clear();
    if (path.empty()) {
        return LoadResult::Missing;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? LoadResult::Missing : LoadResult::Failed;
    }
    struct stat info {};
    LoadResult result = LoadResult::Loaded;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > kMaxFileBytes) {
        result = LoadResult::Failed;
    } else {
        text.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        // The file may change size between fstat and read; take what is there.
        while (done < text.size()) {
            const ssize_t n = read(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                result = LoadResult::Failed;
                break;
            }
            if (n == 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        text.resize(done);
    }
    close(fd);
    if (result == LoadResult::Failed) {
        text.clear();
    }
    return result;
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Replaces the file as a whole: the new text goes to a temporary file in the
// same folder, reaches the disk, and is then renamed over the old file, so a
// crash leaves either the old or the new file, never a mix.
bool SaveFile(const std::string& path, const std::string& text)
{
    std::string target = path;
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // Replace the file the link points to, not the link.
        if (char* real = realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const std::size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    std::string temp = folder + "/.profile-XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const mode_t mode = stat(target.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644;
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, text) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) {
        ok = rename(temp.c_str(), target.c_str()) == 0;
    }
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return true;
}

struct Splice {
    std::size_t begin;
    std::size_t end;
    std::string text;
};

// Applies non-overlapping splices given in file order.
std::string ApplySplices(const std::string& text, const std::vector<Splice>& splices)
{
    std::string out;
    std::size_t pos = 0;
    for (const Splice& splice : splices) {
        out.append(text, pos, splice.begin - pos);
        out += splice.text;
        pos = splice.end;
    }
    out.append(text, pos, std::string::npos);
    return out;
}

// Loads the file, lets edit describe the change and writes the result. No
// splices means no change: the file is left as it is (and not created).
template <typename Edit>
bool ModifyFile(const std::string& path, Edit edit)
{
    if (path.empty()) {
        return false;
    }
    std::lock_guard<std::mutex> lock(ProfileMutex());
    Document doc;
    if (LoadFile(path, doc.text) == LoadResult::Failed) {
        return false;
    }
    Parse(doc);
    std::vector<Splice> splices;
    edit(doc, splices);
    if (splices.empty()) {
        return true;
    }
    return SaveFile(path, ApplySplices(doc.text, splices));
}

const Section* FindSection(const Document& doc, std::string_view name)
{
    for (const Section& section : doc.sections) {
        if (SameName(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

std::size_t FindKeyLine(const Document& doc, const Section& section, std::string_view key)
{
    for (std::size_t i = section.first; i < section.last; ++i) {
        if (doc.lines[i].kind == LineKind::Key && SameName(doc.lines[i].name, key)) {
            return i;
        }
    }
    return kNone;
}

// Copies a value or default as GetPrivateProfileString does, including its
// rule for quoted values: the opening quote is skipped, the text is cut to the
// buffer, and the last character is dropped when the buffer could hold the
// rest of the value with its closing quote.
std::size_t CopyEntry(std::string_view value, char* buffer, std::size_t capacity)
{
    bool quoted = false;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1);
    }
    std::size_t count = std::min(value.size(), capacity - 1);
    if (quoted && capacity >= value.size() && count > 0) {
        --count;
    }
    while (count > 0 && count < value.size() && (static_cast<unsigned char>(value[count]) & 0xC0) == 0x80) {
        --count;
    }
    std::memcpy(buffer, value.data(), count);
    buffer[count] = '\0';
    return count;
}

// The default loses its trailing spaces, though never its first character.
std::string_view TrimDefault(const char* defaultValue)
{
    std::string_view text = defaultValue ? defaultValue : "";
    while (text.size() > 1 && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

// RtlUnicodeStringToInteger with base 0, which GetPrivateProfileInt uses.
int ParseProfileInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        const char prefix = text[i + 1];
        base = prefix == 'b' ? 2 : prefix == 'o' ? 8 : prefix == 'x' ? 16 : 10;
        if (base != 10) {
            i += 2;
        }
    }
    std::uint32_t total = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        std::uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'z') {
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'Z') {
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            break;
        }
        if (digit >= base) {
            break;
        }
        total = total * base + digit;
    }
    if (negative) {
        total = 0u - total;
    }
    return static_cast<int>(total);
}

}  // namespace

std::size_t ProfileReadString(const std::string& path, const char* section, const char* key,
                              const char* defaultValue, char* buffer, std::size_t capacity)
{
    if (buffer == nullptr || capacity == 0) {
        return 0;
    }
    if (section == nullptr || key == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    std::lock_guard<std::mutex> lock(ProfileMutex());
    Document doc;
    LoadFile(path, doc.text);
    Parse(doc);
    const Section* found = FindSection(doc, Trim(section));
    const std::size_t index = found ? FindKeyLine(doc, *found, Trim(key)) : kNone;
    if (index != kNone && doc.lines[index].hasValue) {
        return CopyEntry(doc.lines[index].value, buffer, capacity);
    }
    return CopyEntry(TrimDefault(defaultValue), buffer, capacity);
}

int ProfileReadInt(const std::string& path, const char* section, const char* key, int defaultValue)
{
    char buffer[kIntBufferSize];
    if (ProfileReadString(path, section, key, "", buffer, sizeof buffer) == 0) {
        return defaultValue;
    }
    return ParseProfileInt(buffer);
}

bool ProfileWriteString(const std::string& path, const char* section, const char* key, const char* value)
{
    if (section == nullptr) {
        return false;
    }
    const std::string_view sectionName = Trim(OneLine(section));
    if (key == nullptr) {
        return ModifyFile(path, [&](const Document& doc, std::vector<Splice>& splices) {
            const Section* found = FindSection(doc, sectionName);
            if (found == nullptr) {
                return;
            }
            // The header and every line up to the next header.
            const std::size_t begin = found->header != kNone ? doc.lines[found->header].begin : doc.start;
            const std::size_t end =
                found->last < doc.lines.size() ? doc.lines[found->last].begin : doc.text.size();
            if (begin < end) {
                splices.push_back({begin, end, {}});
            }
        });
    }
    const std::string_view keyName = Trim(OneLine(key));
    if (value == nullptr) {
        return ModifyFile(path, [&](const Document& doc, std::vector<Splice>& splices) {
            for (const Section& candidate : doc.sections) {
                if (!SameName(candidate.name, sectionName)) {
                    continue;
                }
                const std::size_t index = FindKeyLine(doc, candidate, keyName);
                if (index != kNone) {
                    splices.push_back({doc.lines[index].begin, doc.lines[index].next, {}});
                    return;
                }
            }
        });
    }
    std::string_view newValue = OneLine(value);
    while (!newValue.empty() && IsBlank(newValue.front())) {
        newValue.remove_prefix(1);
    }
    return ModifyFile(path, [&](const Document& doc, std::vector<Splice>& splices) {
        const Section* found = FindSection(doc, sectionName);
        if (found == nullptr) {
            const bool needsBreak =
                doc.text.size() > doc.start && doc.text.back() != '\n' && doc.text.back() != '\r';
            std::string text = needsBreak ? doc.eol : std::string();
            text.append("[").append(sectionName).append("]").append(doc.eol);
            text.append(keyName).append("=").append(newValue).append(doc.eol);
            splices.push_back({doc.text.size(), doc.text.size(), std::move(text)});
            return;
        }
        const std::size_t index = FindKeyLine(doc, *found, keyName);
        if (index != kNone) {
            const Line& line = doc.lines[index];
            if (line.hasValue && line.value == newValue) {
                return;
            }
            std::string text(line.name);
            text.append("=").append(newValue);
            splices.push_back({line.begin, line.end, std::move(text)});
            return;
        }
        // A new key goes after the section's last non-blank line, so blank
        // lines that separate it from the next section stay below it.
        std::size_t after = found->header;
        for (std::size_t i = found->first; i < found->last; ++i) {
            if (doc.lines[i].kind != LineKind::Blank) {
                after = i;
            }
        }
        std::string text(keyName);
        text.append("=").append(newValue);
        if (after == kNone) {
            splices.push_back({doc.start, doc.start, text + doc.eol});
        } else if (doc.lines[after].next > doc.lines[after].end) {
            splices.push_back({doc.lines[after].next, doc.lines[after].next, text + doc.eol});
        } else {
            splices.push_back({doc.lines[after].end, doc.lines[after].end, doc.eol + text});
        }
    });
}

bool ProfileWriteEmptySection(const std::string& path, const char* section)
{
    if (section == nullptr) {
        return false;
    }
    const std::string_view sectionName = Trim(OneLine(section));
    return ModifyFile(path, [&](const Document& doc, std::vector<Splice>& splices) {
        // Every section of that name loses its keys and comments; a section
        // without a name is never emptied.
        for (const Section& candidate : doc.sections) {
            if (candidate.name.empty() || !SameName(candidate.name, sectionName)) {
                continue;
            }
            for (std::size_t i = candidate.first; i < candidate.last; ++i) {
                if (doc.lines[i].kind != LineKind::Blank) {
                    splices.push_back({doc.lines[i].begin, doc.lines[i].next, {}});
                }
            }
        }
    });
}
