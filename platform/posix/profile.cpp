// GetPrivateProfileStringW over an INI file read afresh on every call, so
// staff edits take effect without a restart.
#include "platform/posix/paths.h"
#include "platform/system.h"

#include <algorithm>

namespace nilo {

namespace {

// The file's text: UTF-16 or UTF-8 when a byte order mark says so, else the
// ANSI code page, as Windows reads INI files.
std::u16string DecodeProfile(const std::string& bytes) {
    const auto byte = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool little = byte(0) == 0xFF;
        std::u16string text;
        text.reserve(bytes.size() / 2);
        // A trailing odd byte is half a character: dropped.
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += little ? char16_t(byte(i) | (byte(i + 1) << 8)) : char16_t((byte(i) << 8) | byte(i + 1));
        return text;
    }
    if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF)
        return FromUtf8(bytes.substr(3));
    return FromAnsi(bytes, CP_ACP);
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string Trim(const std::u16string& text, size_t begin, size_t end) {
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// Finds key in section; false when the section or the key is not there.
bool FindValue(const std::u16string& text, const std::u16string& section, const std::u16string& key,
               std::u16string& value) {
    const std::u16string wantSection = Trim(section, 0, section.size());
    const std::u16string wantKey = Trim(key, 0, key.size());
    bool sectionSeen = false;  // only the first section of that name counts
    bool inSection = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of(u"\r\n", pos);
        if (end == std::u16string::npos) end = text.size();
        size_t begin = pos;
        pos = end + 1;
        while (begin < end && IsBlank(text[begin])) ++begin;
        if (begin == end || text[begin] == u';') continue;
        if (text[begin] == u'[') {
            if (inSection) return false;
            size_t close = text.find(u']', begin + 1);
            if (close == std::u16string::npos || close > end) close = end;
            inSection = !sectionSeen && posix::EqualsNoCase(Trim(text, begin + 1, close), wantSection);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) continue;
        const size_t eq = text.find(u'=', begin);
        if (eq == std::u16string::npos || eq >= end) continue;
        if (!posix::EqualsNoCase(Trim(text, begin, eq), wantKey)) continue;
        value = Trim(text, eq + 1, end);
        // One pair of matching quotes around the value goes, as Windows drops it.
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return true;
    }
    return false;
}

}  // namespace

DWORD GetPrivateProfileStringW(const std::u16string& section, const std::u16string& key,
                               const std::u16string& defaultText, char16_t* buffer, DWORD capacity,
                               const std::u16string& fileName) {
    if (!buffer || capacity == 0) return 0;
    std::u16string value;
    std::string bytes;
    bool found = false;
    if (fileName.find(u'\0') == std::u16string::npos &&
        posix::ReadRegularFile(posix::NativePath(fileName), bytes) == ERROR_SUCCESS)
        found = FindValue(DecodeProfile(bytes), section, key, value);
    if (!found) {
        // Windows strips trailing blanks from the default text.
        value = defaultText;
        while (!value.empty() && value.back() == u' ') value.pop_back();
    }
    const size_t count = std::min<size_t>(value.size(), capacity - 1);
    std::copy(value.begin(), value.begin() + count, buffer);
    buffer[count] = u'\0';
    SetLastError(DWORD(!found ? ERROR_FILE_NOT_FOUND : count < value.size() ? ERROR_MORE_DATA : ERROR_SUCCESS));
    return DWORD(count);
}

}  // namespace nilo
