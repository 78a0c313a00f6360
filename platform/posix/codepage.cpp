// Code page conversions through iconv, with the Windows calls' rules: a
// character the code page lacks becomes '?', an invalid input byte becomes
// U+FFFD, and neither ever stops the rest of the text from converting.
#include "platform/system.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <memory>
#include <type_traits>

namespace nilo {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr char kDefaultChar = '?';

// An open iconv conversion, closed when it goes.
class Iconv {
public:
    Iconv(const char* to, const char* from) : m_handle(iconv_open(to, from)) {}
    ~Iconv() {
        if (Valid()) iconv_close(m_handle);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool Valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_handle; }
    // Back to the initial shift state after an error.
    void Reset() const { iconv(m_handle, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t m_handle;
};

// The ANSI code page the system locale implies. The C and POSIX locales
// (ASCII) and codesets we have no Windows code page for count as UTF-8: it
// holds every character, so nothing the program writes is lost.
UINT AcpFromLocale() {
    using LocalePtr = std::unique_ptr<std::remove_pointer_t<locale_t>, decltype(&freelocale)>;
    // A private locale object, so the process-wide locale stays as it was.
    LocalePtr loc(newlocale(LC_CTYPE_MASK, "", locale_t(nullptr)), &freelocale);
    if (!loc) return CP_UTF8;
    std::string codeset;
    for (const char* p = nl_langinfo_l(CODESET, loc.get()); p && *p; ++p) {
        if (*p == '-' || *p == '_') continue;
        codeset += char(*p >= 'a' && *p <= 'z' ? *p - 'a' + 'A' : *p);
    }
    if (codeset == "UTF8") return CP_UTF8;
    if (codeset == "EUCKR" || codeset == "CP949" || codeset == "UHC") return 949;
    if (codeset == "ISO88591" || codeset == "ISO885915" || codeset == "CP1252") return 1252;
    if (codeset == "SHIFTJIS" || codeset == "SJIS" || codeset == "CP932" || codeset == "EUCJP") return 932;
    if (codeset == "GB2312" || codeset == "GBK" || codeset == "CP936" || codeset == "GB18030") return 936;
    if (codeset.size() == 6 && codeset.compare(0, 5, "CP125") == 0 && codeset[5] >= '0' && codeset[5] <= '8')
        return UINT(1250 + (codeset[5] - '0'));
    return CP_UTF8;
}

// 0 while the system's own code page is in force.
std::atomic<UINT> g_acpOverride{0};

UINT Resolve(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_THREAD_ACP ? GetACP() : codePage;
}

// The iconv name of a code page; other numbers are tried as "CP<n>", which
// glibc knows for most of the remaining Windows and DOS code pages.
std::string IconvName(UINT codePage) {
    switch (codePage) {
    case CP_UTF8: return "UTF-8";
    case 936: return "GBK";
    case 20127: return "ASCII";
    case 20932: return "EUC-JP";
    case 28591: return "ISO-8859-1";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    default: return "CP" + std::to_string(codePage);
    }
}

// Windows' 1252 table maps its five unassigned bytes to the C1 controls of
// the same value; glibc's refuses them.
bool IsCp1252Gap(uint32_t c) { return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D; }

void AppendCodePoint(std::u16string& out, uint32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out += char16_t(0xD800 + (c >> 10));
        out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
        out += char16_t(c);
    }
}

// UTF-8 by hand, so each maximal invalid subsequence becomes one U+FFFD as
// Windows does, and surrogates and overlong forms are refused.
void DecodeUtf8(const unsigned char* s, size_t len, std::u16string& out) {
    size_t i = 0;
    while (i < len) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            out += char16_t(b);
            ++i;
            continue;
        }
        int trail = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        uint32_t c = 0;
        if (b >= 0xC2 && b <= 0xDF) trail = 1, c = b & 0x1F;
        else if (b == 0xE0) trail = 2, lo = 0xA0, c = b & 0x0F;
        else if (b == 0xED) trail = 2, hi = 0x9F, c = b & 0x0F;
        else if (b >= 0xE1 && b <= 0xEF) trail = 2, c = b & 0x0F;
        else if (b == 0xF0) trail = 3, lo = 0x90, c = b & 0x07;
        else if (b >= 0xF1 && b <= 0xF3) trail = 3, c = b & 0x07;
        else if (b == 0xF4) trail = 3, hi = 0x8F, c = b & 0x07;
        // j ends up past the longest prefix that could still have been a
        // character (Unicode's "maximal subpart"), the unit one U+FFFD replaces.
        size_t j = i + 1;
        int k = 0;
        for (; k < trail; ++k, ++j) {
            const unsigned char lower = k == 0 ? lo : 0x80, upper = k == 0 ? hi : 0xBF;
            if (j >= len || s[j] < lower || s[j] > upper) break;
            c = (c << 6) | (s[j] & 0x3F);
        }
        if (trail > 0 && k == trail) AppendCodePoint(out, c);
        else out += kReplacement;
        i = j;
    }
}

// Takes the UTF-16LE bytes iconv wrote into out.
void TakeUtf16(const char* bytes, size_t count, std::u16string& out) {
    for (size_t i = 0; i + 1 < count; i += 2)
        out += char16_t(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
}

bool Decode(UINT codePage, const char* src, size_t len, std::u16string& out) {
    if (codePage == CP_UTF8) {
        DecodeUtf8(reinterpret_cast<const unsigned char*>(src), len, out);
        return true;
    }
    Iconv cd("UTF-16LE", IconvName(codePage).c_str());
    if (!cd.Valid()) return false;
    char buffer[4096];
    char* in = const_cast<char*>(src);
    size_t inLeft = len;
    while (inLeft > 0) {
        char* o = buffer;
        size_t oLeft = sizeof buffer;
        const size_t r = iconv(cd.Get(), &in, &inLeft, &o, &oLeft);
        const int err = errno;
        TakeUtf16(buffer, size_t(o - buffer), out);
        if (r != size_t(-1)) continue;
        if (err == E2BIG) continue;
        if (err == EILSEQ) {
            const unsigned char bad = static_cast<unsigned char>(*in);
            out += codePage == 1252 && IsCp1252Gap(bad) ? char16_t(bad) : kReplacement;
            ++in, --inLeft;
            cd.Reset();
            continue;
        }
        // EINVAL: the text ends inside a character.
        out += kReplacement;
        break;
    }
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    iconv(cd.Get(), nullptr, nullptr, &o, &oLeft);
    TakeUtf16(buffer, size_t(o - buffer), out);
    return true;
}

constexpr uint32_t kBadCodePoint = 0xFFFFFFFF;

// The code points of UTF-16 text; an unpaired surrogate gives kBadCodePoint.
template <typename F>
void ForEachCodePoint(const char16_t* src, size_t len, F f) {
    for (size_t i = 0; i < len; ++i) {
        const char16_t c = src[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < len && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
            f(0x10000 + ((uint32_t(c) - 0xD800) << 10) + (uint32_t(src[i + 1]) - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            f(kBadCodePoint);
        } else {
            f(uint32_t(c));
        }
    }
}

void EncodeUtf8(const char16_t* src, size_t len, std::string& out) {
    ForEachCodePoint(src, len, [&out](uint32_t c) {
        // An unpaired surrogate has no UTF-8 form; Windows writes U+FFFD.
        if (c == kBadCodePoint) c = kReplacement;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    });
}

// Converts UTF-32LE code points, writing the default character for each one
// the code page cannot hold.
void EncodeRun(const Iconv& cd, UINT codePage, std::string& run, std::string& out) {
    char buffer[4096];
    char* in = run.empty() ? nullptr : &run[0];
    size_t inLeft = run.size();
    while (inLeft >= 4) {
        char* o = buffer;
        size_t oLeft = sizeof buffer;
        const size_t r = iconv(cd.Get(), &in, &inLeft, &o, &oLeft);
        const int err = errno;
        out.append(buffer, size_t(o - buffer));
        if (r != size_t(-1) || err == E2BIG) continue;
        const uint32_t c = static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8) |
                           (uint32_t(static_cast<unsigned char>(in[2])) << 16) |
                           (uint32_t(static_cast<unsigned char>(in[3])) << 24);
        out += codePage == 1252 && IsCp1252Gap(c) ? char(c) : kDefaultChar;
        in += 4, inLeft -= 4;
        cd.Reset();
    }
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    iconv(cd.Get(), nullptr, nullptr, &o, &oLeft);
    out.append(buffer, size_t(o - buffer));
    run.clear();
}

bool Encode(UINT codePage, const char16_t* src, size_t len, std::string& out) {
    if (codePage == CP_UTF8) {
        EncodeUtf8(src, len, out);
        return true;
    }
    Iconv cd(IconvName(codePage).c_str(), "UTF-32LE");
    if (!cd.Valid()) return false;
    std::string run;
    ForEachCodePoint(src, len, [&](uint32_t c) {
        if (c == kBadCodePoint) {
            EncodeRun(cd, codePage, run, out);
            out += kDefaultChar;
            return;
        }
        for (int shift = 0; shift < 32; shift += 8) run += char((c >> shift) & 0xFF);
        if (run.size() >= 4096) EncodeRun(cd, codePage, run, out);
    });
    EncodeRun(cd, codePage, run, out);
    return true;
}

// Hands a converted text to the caller as the Windows calls do: its length
// for a size query, 0 with ERROR_INSUFFICIENT_BUFFER when it does not fit.
template <typename Char>
int Deliver(const std::basic_string<Char>& text, Char* dest, int destLen) {
    if (text.size() > size_t(INT_MAX)) {
        SetLastError(DWORD(ERROR_INSUFFICIENT_BUFFER));
        return 0;
    }
    const int needed = int(text.size());
    if (destLen == 0) return needed;
    if (needed > destLen) {
        SetLastError(DWORD(ERROR_INSUFFICIENT_BUFFER));
        return 0;
    }
    std::copy(text.begin(), text.end(), dest);
    return needed;
}

}  // namespace

UINT GetACP() {
    static const UINT systemAcp = AcpFromLocale();
    const UINT set = g_acpOverride.load();
    return set != 0 ? set : systemAcp;
}

// CP_ACP or CP_THREAD_ACP goes back to the code page of the system locale.
void SetACP(UINT codePage) { g_acpOverride.store(codePage == CP_THREAD_ACP ? 0 : codePage); }

int MultiByteToWideChar(UINT codePage, DWORD, const char* src, int srcLen, char16_t* dest, int destLen) {
    if (!src || srcLen == 0 || srcLen < -1 || destLen < 0 || (destLen > 0 && !dest)) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return 0;
    }
    const size_t len = srcLen == -1 ? std::strlen(src) + 1 : size_t(srcLen);
    std::u16string wide;
    if (!Decode(Resolve(codePage), src, len, wide)) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return 0;
    }
    return Deliver(wide, dest, destLen);
}

int WideCharToMultiByte(UINT codePage, DWORD, const char16_t* src, int srcLen, char* dest, int destLen) {
    if (!src || srcLen == 0 || srcLen < -1 || destLen < 0 || (destLen > 0 && !dest)) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return 0;
    }
    const size_t len = srcLen == -1 ? std::char_traits<char16_t>::length(src) + 1 : size_t(srcLen);
    std::string narrow;
    if (!Encode(Resolve(codePage), src, len, narrow)) {
        SetLastError(DWORD(ERROR_INVALID_PARAMETER));
        return 0;
    }
    return Deliver(narrow, dest, destLen);
}

std::string ToAnsi(const std::u16string& text, UINT codePage) {
    std::string out;
    if (!Encode(Resolve(codePage), text.data(), text.size(), out)) SetLastError(DWORD(ERROR_INVALID_PARAMETER));
    return out;
}

std::u16string FromAnsi(const std::string& text, UINT codePage) {
    std::u16string out;
    if (!Decode(Resolve(codePage), text.data(), text.size(), out)) SetLastError(DWORD(ERROR_INVALID_PARAMETER));
    return out;
}

std::string ToUtf8(const std::u16string& text) { return ToAnsi(text, CP_UTF8); }
std::u16string FromUtf8(const std::string& text) { return FromAnsi(text, CP_UTF8); }

}  // namespace nilo
