// System services the kiosk uses besides windows: module path, clock, profile
// strings, code pages, files with share modes, operating-system facts, system
// message texts and the adapter list. Paths are Windows paths: backslashes,
// optionally a drive letter; a backend maps them to its own file system.
#pragma once
#include "platform/wintypes.h"

#include <cstddef>
#include <memory>
#include <string>

namespace nilo {

// ---- module, clock, last error --------------------------------------------

// The running executable's full path, cut to capacity - 1 characters as the
// Windows call cuts it into a buffer of that many characters.
std::u16string GetModuleFileName(size_t capacity);

struct SYSTEMTIME {
    WORD wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0;
    WORD wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
};
SYSTEMTIME GetLocalTime();

DWORD GetLastError();
void SetLastError(DWORD code);

// ---- profile strings ------------------------------------------------------

// GetPrivateProfileStringW: section and key match without regard to case; an
// absent file, section or key gives defaultText. The value is copied into
// buffer (capacity characters, terminator included), cut to capacity - 1
// characters; the result is the number of characters copied.
DWORD GetPrivateProfileStringW(const std::u16string& section, const std::u16string& key,
                               const std::u16string& defaultText, char16_t* buffer,
                               DWORD capacity, const std::u16string& fileName);

// ---- code pages -----------------------------------------------------------

constexpr UINT CP_ACP = 0;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF8 = 65001;

// The system ANSI code page (what CP_ACP and CP_THREAD_ACP stand for). It
// follows the system's locale; SetACP replaces it (tests, and seats whose
// locale does not name the code page the portal and certification file use).
UINT GetACP();
void SetACP(UINT codePage);

// MultiByteToWideChar: srcLen -1 means up to and including the terminating NUL.
// With destLen 0 the result is the length needed; a destination that is too
// small gives 0 (ERROR_INSUFFICIENT_BUFFER).
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen,
                        char16_t* dest, int destLen);
// WideCharToMultiByte: characters the code page lacks become its default
// character; otherwise as above.
int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcLen,
                        char* dest, int destLen);

// Convenience forms over the two calls.
std::string ToAnsi(const std::u16string& text, UINT codePage = CP_ACP);
std::u16string FromAnsi(const std::string& text, UINT codePage = CP_ACP);
std::string ToUtf8(const std::u16string& text);
std::u16string FromUtf8(const std::string& text);

// ---- files ----------------------------------------------------------------

// A file opened with a share mode, like CFile. Closing happens on destruction.
class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,   // no other opener while this one is open
        shareDenyNone = 0x0040,
        modeNoTruncate = 0x0100,
        modeCreate = 0x1000,
        typeBinary = 0x8000,
    };

    CFile();
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens or creates path; on failure returns false and *error (when given)
    // holds the system error: ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
    // ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION and so on.
    bool Open(const std::u16string& path, UINT flags, LONG* error = nullptr);
    void Close();
    bool IsOpen() const;

    uint64_t GetLength() const;
    bool SetLength(uint64_t length);
    uint64_t SeekToEnd();
    // Returns the number of bytes read or written; a short write is a failure.
    size_t Read(void* buffer, size_t count);
    size_t Write(const void* buffer, size_t count);

    // Existence test without access check (CFileFind/GetFileAttributes).
    static bool Exists(const std::u16string& path);

    class Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// ---- operating system -----------------------------------------------------

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize = 276;
    DWORD dwMajorVersion = 0, dwMinorVersion = 0, dwBuildNumber = 0, dwPlatformId = 0;
};
BOOL GetVersionExW(OSVERSIONINFOW* info);

constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
constexpr WORD PROCESSOR_ARCHITECTURE_ARM = 5;
constexpr WORD PROCESSOR_ARCHITECTURE_IA64 = 6;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;
constexpr WORD PROCESSOR_ARCHITECTURE_ARM64 = 12;
constexpr WORD PROCESSOR_ARCHITECTURE_UNKNOWN = 0xFFFF;

struct SYSTEM_INFO {
    WORD wProcessorArchitecture = 0;
};
void GetSystemInfo(SYSTEM_INFO* info);
// Looks up "GetNativeSystemInfo" in "kernel32.dll" as the kiosk does; null
// where the system lacks it.
using GetNativeSystemInfoFn = void (*)(SYSTEM_INFO*);
GetNativeSystemInfoFn FindGetNativeSystemInfo();

// FormatMessageW for a system error or HRESULT in language langId; empty
// when the system has no text for it. The text keeps its line end.
std::u16string FormatSystemMessage(DWORD code, WORD langId);
// The English texts of the codes the page script bridge meets, for backends
// without a message catalogue of their own; empty for other codes.
std::u16string DefaultSystemMessage(DWORD code);

// ---- adapters -------------------------------------------------------------

constexpr int MAX_ADAPTER_NAME_LENGTH = 256;
constexpr int MAX_ADAPTER_DESCRIPTION_LENGTH = 128;
constexpr int MAX_ADAPTER_ADDRESS_LENGTH = 8;

struct IP_ADDR_STRING {
    IP_ADDR_STRING* Next;
    char IpAddress[16];
    char IpMask[16];
    DWORD Context;
};

// One adapter record as GetAdaptersInfo lays it out.
struct IP_ADAPTER_INFO {
    IP_ADAPTER_INFO* Next;
    DWORD ComboIndex;
    char AdapterName[MAX_ADAPTER_NAME_LENGTH + 4];
    char Description[MAX_ADAPTER_DESCRIPTION_LENGTH + 4];
    UINT AddressLength;
    BYTE Address[MAX_ADAPTER_ADDRESS_LENGTH];
    DWORD Index;
    UINT Type;
    UINT DhcpEnabled;
    IP_ADDR_STRING* CurrentIpAddress;
    IP_ADDR_STRING IpAddressList;
    IP_ADDR_STRING GatewayList;
    IP_ADDR_STRING DhcpServer;
    BOOL HaveWins;
    IP_ADDR_STRING PrimaryWinsServer;
    IP_ADDR_STRING SecondaryWinsServer;
    int64_t LeaseObtained;
    int64_t LeaseExpires;
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(IP_ADAPTER_INFO) == 648, "the 32-bit adapter record is 648 bytes");
#endif

// GetAdaptersInfo: fills buffer with the chained records when *size is large
// enough (ERROR_SUCCESS); otherwise writes the size needed to *size and gives
// ERROR_BUFFER_OVERFLOW. ERROR_NO_DATA when the system has no adapter.
ULONG GetAdaptersInfo(IP_ADAPTER_INFO* buffer, ULONG* size);

// Lays out adapter records in a caller's buffer, for backends: each record
// gets its hardware address and first IPv4 address text, chained by Next.
struct AdapterSpec {
    std::string name;
    std::basic_string<BYTE> address;  // hardware address bytes, any length up to 8
    std::string ip;                   // dotted text of the first IPv4 address
    DWORD index = 0;
};
ULONG LayOutAdapters(const AdapterSpec* adapters, size_t count, IP_ADAPTER_INFO* buffer, ULONG* size);

}  // namespace nilo
