// Reading and writing the registry export format.
#include "platform/posix/registry_file.h"

#include "platform/posix/fd.h"
#include "platform/posix/paths.h"
#include "platform/system.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nilo::posix {

namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00";
constexpr size_t kWrapColumn = 76;  // where regedit breaks long hex lists

using Bytes = std::basic_string<BYTE>;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether text[i] is half a surrogate pair whose other half is missing.
bool IsLoneSurrogate(const std::u16string& text, size_t i) {
    if (IsHighSurrogate(text[i])) return i + 1 == text.size() || !IsLowSurrogate(text[i + 1]);
    return IsLowSurrogate(text[i]) && (i == 0 || !IsHighSurrogate(text[i - 1]));
}

// The file is UTF-8: a line break, a NUL or half a surrogate pair would not
// read back as written.
bool Carriable(const std::u16string& text) {
    if (text.find_first_of(u"\r\n", 0, 2) != std::u16string::npos || text.find(u'\0') != std::u16string::npos)
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (IsLoneSurrogate(text, i)) return false;
    return true;
}

std::u16string TrimKeyPath(std::u16string path) {
    while (!path.empty() && (path.back() == u'\\' || IsBlank(path.back()))) path.pop_back();
    return path;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Up to eight hex digits, nothing else.
bool ParseHexNumber(const std::u16string& text, DWORD& value) {
    if (text.empty() || text.size() > 8) return false;
    value = 0;
    for (char16_t c : text) {
        const int d = HexDigit(c);
        if (d < 0) return false;
        value = (value << 4) | DWORD(d);
    }
    return true;
}

std::u16string Trim(const std::u16string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// "01,02,ff": each byte one or two hex digits; a trailing comma is allowed.
bool ParseHexBytes(const std::u16string& text, Bytes& bytes) {
    bytes.clear();
    const std::u16string list = Trim(text);
    if (list.empty()) return true;
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t comma = list.find(u',', pos);
        if (comma == std::u16string::npos) comma = list.size();
        const std::u16string token = Trim(list.substr(pos, comma - pos));
        const bool last = comma == list.size();
        if (token.empty()) {
            // Only the empty piece after a final comma is fine.
            if (last && pos > 0) return true;
            return false;
        }
        DWORD value = 0;
        if (token.size() > 2 || !ParseHexNumber(token, value)) return false;
        bytes.push_back(BYTE(value));
        if (last) return true;
        pos = comma + 1;
    }
    return true;
}

// Reads a quoted text starting at text[pos] == '"', undoing the \\ and \"
// escapes; pos ends past the closing quote. False when it is not closed.
bool ParseQuoted(const std::u16string& text, size_t& pos, std::u16string& out) {
    out.clear();
    for (size_t i = pos + 1; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'"') {
            pos = i + 1;
            return true;
        }
        if (c == u'\\' && i + 1 < text.size() && (text[i + 1] == u'\\' || text[i + 1] == u'"')) {
            out += text[++i];
            continue;
        }
        out += c;
    }
    return false;
}

Bytes StringBytes(const std::u16string& text) {
    Bytes bytes;
    bytes.reserve(text.size() * 2 + 2);
    for (char16_t c : text) bytes.push_back(BYTE(c & 0xFF)), bytes.push_back(BYTE(c >> 8));
    bytes.append(2, 0);
    return bytes;
}

std::u16string DecodeText(const std::string& bytes) {
    const auto byte = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        std::u16string text;
        text.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += char16_t(byte(i) | (byte(i + 1) << 8));
        // Half a surrogate pair is read as U+FFFD, as broken UTF-8 is.
        for (size_t i = 0; i < text.size(); ++i)
            if (IsLoneSurrogate(text, i)) text[i] = 0xFFFD;
        return text;
    }
    if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) return FromUtf8(bytes.substr(3));
    // The older "REGEDIT4" exports are in the ANSI code page.
    if (bytes.compare(0, 8, "REGEDIT4") == 0) return FromAnsi(bytes, CP_ACP);
    return FromUtf8(bytes);
}

std::vector<std::u16string> SplitLines(const std::u16string& text) {
    std::vector<std::u16string> lines;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(u'\n', pos);
        if (end == std::u16string::npos) end = text.size();
        std::u16string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        lines.push_back(std::move(line));
        pos = end + 1;
    }
    return lines;
}

// The text of a REG_SZ that can stand in quotes: one terminating NUL, no other
// NUL, no line break, no unpaired surrogate (the file is UTF-8). Anything
// else is written as hex(1) so its bytes come back exactly.
bool PlainString(const Bytes& data, std::u16string& text) {
    if (data.size() < 2 || data.size() % 2 != 0) return false;
    text.clear();
    for (size_t i = 0; i + 2 < data.size(); i += 2) text += char16_t(data[i] | (data[i + 1] << 8));
    return data[data.size() - 2] == 0 && data[data.size() - 1] == 0 && Carriable(text);
}

std::string Escape(const std::u16string& text) {
    std::string out;
    for (char c : ToUtf8(text)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

void AppendHex(std::string& line, const Bytes& data, std::string& out) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        line += digits[data[i] >> 4];
        line += digits[data[i] & 0xF];
        if (i + 1 == data.size()) break;
        line += ',';
        if (line.size() > kWrapColumn) {
            out += line + "\\\n";
            line = "  ";
        }
    }
    out += line + "\n";
}

void AppendValue(const RegistryValue& value, std::string& out) {
    std::string line = value.name.empty() ? "@=" : "\"" + Escape(value.name) + "\"=";
    std::u16string text;
    if (value.type == REG_SZ && PlainString(value.data, text)) {
        out += line + "\"" + Escape(text) + "\"\n";
        return;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        char hex[9];
        const DWORD v = DWORD(value.data[0]) | (DWORD(value.data[1]) << 8) | (DWORD(value.data[2]) << 16) |
                        (DWORD(value.data[3]) << 24);
        std::snprintf(hex, sizeof hex, "%08x", unsigned(v));
        out += line + "dword:" + hex + "\n";
        return;
    }
    if (value.type == REG_BINARY) {
        line += "hex:";
    } else {
        char type[24];
        std::snprintf(type, sizeof type, "hex(%x):", unsigned(value.type));
        line += type;
    }
    AppendHex(line, value.data, out);
}

// Creates folder and its parents.
LONG MakeFolders(const std::string& folder) {
    if (folder.empty() || folder == "/" || folder == ".") return ERROR_SUCCESS;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
    const LONG parent = MakeFolders(ParentFolder(folder));
    if (parent != ERROR_SUCCESS) return parent;
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return ErrorFromErrno(errno);
    return ERROR_SUCCESS;
}

// Removes the temporary file unless it was renamed into place.
class TempFile {
public:
    explicit TempFile(std::string path) : m_path(std::move(path)) {}
    ~TempFile() {
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    void Keep() { m_path.clear(); }

private:
    std::string m_path;
};

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    std::vector<char> buffer(16384);
    passwd entry {};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return ".";
}

std::mutex g_pathMutex;
std::string g_pathOverride[2];  // by root; empty means the default

}  // namespace

// ---- RegistryFile -------------------------------------------------------------

void RegistryFile::Clear() {
    m_keys.clear();
    m_keyIndex.clear();
    m_valueIndex.clear();
    m_droppedLines = 0;
}

LONG RegistryFile::Load(const std::string& path) {
    Clear();
    std::string bytes;
    LONG result = ReadRegularFile(path, bytes);
    if (result == ERROR_FILE_NOT_FOUND) {
        const std::string parent = ParentFolder(path);
        struct stat st {};
        if (!parent.empty() && ::stat(parent.c_str(), &st) != 0) result = ERROR_PATH_NOT_FOUND;
    }
    if (result != ERROR_SUCCESS) return result;
    Parse(bytes);
    return ERROR_SUCCESS;
}

namespace {

// A value line ("Name"=... or @=...) and, for a long hex list, the lines
// that go on from it (n moves past them). False when it does not parse or
// keeps nothing.
bool ParseValueLine(const std::vector<std::u16string>& lines, size_t& n, RegistryValue& value) {
    const std::u16string line = Trim(lines[n]);
    size_t pos = 1;  // past the '@' of the default value
    if (line[0] == u'"') {
        pos = 0;
        if (!ParseQuoted(line, pos, value.name)) return false;
    } else if (line[0] != u'@') {
        return false;
    }
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != u'=') return false;
    std::u16string data = Trim(line.substr(pos + 1));

    if (data.compare(0, 3, u"hex") == 0) {
        // A long hex list goes on over lines that end in a backslash. One
        // whose continuation is missing (a cut file) is dropped whole rather
        // than read short.
        while (!data.empty() && data.back() == u'\\') {
            data.pop_back();
            const std::u16string next = n + 1 < lines.size() ? Trim(lines[n + 1]) : std::u16string();
            if (next.empty() || HexDigit(next[0]) < 0) return false;
            data += next;
            ++n;
        }
        const size_t colon = data.find(u':');
        if (colon == std::u16string::npos) return false;
        if (colon == 3) {
            value.type = REG_BINARY;
        } else if (data[3] != u'(' || data[colon - 1] != u')' ||
                   !ParseHexNumber(data.substr(4, colon - 5), value.type)) {
            return false;
        }
        return ParseHexBytes(data.substr(colon + 1), value.data);
    }
    if (data.compare(0, 6, u"dword:") == 0) {
        DWORD number = 0;
        if (!ParseHexNumber(Trim(data.substr(6)), number)) return false;
        value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i) value.data.push_back(BYTE(number >> (8 * i)));
        return true;
    }
    if (!data.empty() && data[0] == u'"') {
        size_t end = 0;
        std::u16string text;
        if (!ParseQuoted(data, end, text) || end != data.size()) return false;
        value.type = REG_SZ;
        value.data = StringBytes(text);
        return true;
    }
    // "Name"=- deletes a value on import; there is nothing to keep.
    return false;
}

}  // namespace

void RegistryFile::Parse(const std::string& bytes) {
    Clear();
    const std::vector<std::u16string> lines = SplitLines(DecodeText(bytes));
    bool inKey = false;  // false under a deleted or unnamed key
    bool headerSeen = false;
    std::u16string keyPath;
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::u16string line = Trim(lines[n]);
        if (line.empty()) continue;
        const bool header = !headerSeen && (line == FromUtf8(kHeader) || line == u"REGEDIT4");
        headerSeen = true;
        if (header) continue;

        bool kept = false;  // comments, deletions and lines that do not parse are not
        if (line[0] == u'[') {
            keyPath.clear();
            const bool named = line.size() >= 3 && line.back() == u']' && line[1] != u'-';
            if (named) keyPath = TrimKeyPath(line.substr(1, line.size() - 2));
            inKey = kept = named && CreateKey(keyPath);
        } else if (line[0] != u';') {
            RegistryValue value;
            kept = ParseValueLine(lines, n, value) && inKey && Set(keyPath, value.name, value.type, std::move(value.data));
        }
        if (!kept) ++m_droppedLines;
    }
}

std::string RegistryFile::Text() const {
    std::string out = std::string(kHeader) + "\n\n";
    for (const RegistryKey& key : m_keys) {
        out += "[" + ToUtf8(key.path) + "]\n";
        for (const RegistryValue& value : key.values) AppendValue(value, out);
        out += "\n";
    }
    return out;
}

LONG RegistryFile::Save(const std::string& path) const {
    if (path.empty()) return ERROR_PATH_NOT_FOUND;
    // Replace the file a symbolic link points at, not the link.
    std::string target = path;
    using CPath = std::unique_ptr<char, decltype(&std::free)>;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        CPath real(::realpath(path.c_str(), nullptr), &std::free);
        if (real) target = real.get();
    }
    std::string folder = ParentFolder(target);
    const LONG made = MakeFolders(folder);
    if (made != ERROR_SUCCESS) return made;
    if (folder.empty()) folder = ".";
    const size_t slash = target.rfind('/');
    std::string tempPath = (folder == "/" ? "" : folder) + "/." +
                           (slash == std::string::npos ? target : target.substr(slash + 1)) + ".XXXXXX";

    UniqueFd fd(::mkostemp(&tempPath[0], O_CLOEXEC));
    if (!fd) return ErrorFromErrno(errno);
    TempFile temp(tempPath);
    // Keep the mode of the file being replaced; a new one is readable by all,
    // as registry keys are on Windows.
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::fchmod(fd.Get(), mode);

    const std::string text = Text();
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd.Get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return ErrorFromErrno(n < 0 ? errno : ENOSPC);
        done += size_t(n);
    }
    if (::fsync(fd.Get()) != 0) return ErrorFromErrno(errno);
    if (::close(fd.Release()) != 0) return ErrorFromErrno(errno);
    if (::rename(tempPath.c_str(), target.c_str()) != 0) return ErrorFromErrno(errno);
    temp.Keep();
    // Make the rename itself durable.
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) ::fsync(dir.Get());
    return ERROR_SUCCESS;
}

bool RegistryFile::HasKey(const std::u16string& keyPath) const {
    const std::u16string path = TrimKeyPath(keyPath);
    if (path.empty()) return false;
    for (const RegistryKey& key : m_keys) {
        if (EqualsNoCase(key.path, path)) return true;
        if (key.path.size() > path.size() && key.path[path.size()] == u'\\' &&
            EqualsNoCase(key.path.substr(0, path.size()), path))
            return true;
    }
    return false;
}

const RegistryValue* RegistryFile::Find(const std::u16string& keyPath, const std::u16string& name) const {
    auto key = m_keyIndex.find(FoldCase(TrimKeyPath(keyPath)));
    if (key == m_keyIndex.end()) return nullptr;
    const auto& names = m_valueIndex[key->second];
    auto value = names.find(FoldCase(name));
    return value != names.end() ? &m_keys[key->second].values[value->second] : nullptr;
}

bool RegistryFile::CreateKey(const std::u16string& keyPath) {
    const std::u16string path = TrimKeyPath(keyPath);
    // "[-Key]" is how the file says a key was deleted.
    if (path.empty() || path[0] == u'-' || !Carriable(path)) return false;
    if (m_keyIndex.emplace(FoldCase(path), m_keys.size()).second) {
        m_keys.push_back(RegistryKey{path, {}});
        m_valueIndex.emplace_back();
    }
    return true;
}

bool RegistryFile::Set(const std::u16string& keyPath, const std::u16string& name, DWORD type, Bytes data) {
    if (!Carriable(name) || !CreateKey(keyPath)) return false;
    const size_t k = m_keyIndex.at(FoldCase(TrimKeyPath(keyPath)));
    RegistryKey& key = m_keys[k];
    auto slot = m_valueIndex[k].emplace(FoldCase(name), key.values.size());
    if (slot.second) {
        key.values.push_back(RegistryValue{name, type, std::move(data)});
    } else {
        RegistryValue& value = key.values[slot.first->second];
        value.type = type;
        value.data = std::move(data);
    }
    return true;
}

// ---- where the roots live -----------------------------------------------------

std::u16string RootName(HKEY root) {
    return root == HKEY_LOCAL_MACHINE ? u"HKEY_LOCAL_MACHINE" : u"HKEY_CURRENT_USER";
}

std::string RegistryFilePath(HKEY root) {
    {
        std::lock_guard<std::mutex> lock(g_pathMutex);
        const std::string& set = g_pathOverride[root == HKEY_LOCAL_MACHINE ? 1 : 0];
        if (!set.empty()) return set;
    }
    if (root == HKEY_LOCAL_MACHINE) return "/etc/nilo-vod/registry.reg";
    // A relative XDG_CONFIG_HOME is to be ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string base = config && config[0] == '/' ? std::string(config) : HomeFolder() + "/.config";
    return base + "/nilo-vod/registry.reg";
}

void SetRegistryFilePath(HKEY root, const std::string& path) {
    std::lock_guard<std::mutex> lock(g_pathMutex);
    g_pathOverride[root == HKEY_LOCAL_MACHINE ? 1 : 0] = path;
}

}  // namespace nilo::posix
