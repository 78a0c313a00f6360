// The Windows system services run for real (under Wine): profile strings,
// the registry, the adapter list, files with share modes, code pages and the
// operating-system facts the kiosk reads.
#include "app/MORAVEL_PLAYERDlg.h"
#include "identity/certification.h"
#include "identity/host_identity.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "portal/browser_emulation.h"
#include "test_runner.h"

#include "platform/win32/windows_api.h"

#include <cstring>
#include <vector>

namespace {

using nilo::CFile;

// A scratch folder under %TEMP%, removed with its files afterwards.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        ::GetTempPathW(MAX_PATH, base);
        m_path = w32::Utf16(base) + u"nilo-w32-" + Number(::GetCurrentProcessId()) + u"-" + Number(++s_count);
        ::CreateDirectoryW(w32::Wide(m_path), nullptr);
    }
    ~TempFolder() {
        for (const auto& file : m_files) ::DeleteFileW(w32::Wide(file));
        ::RemoveDirectoryW(w32::Wide(m_path));
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::u16string File(const std::u16string& name) {
        m_files.push_back(m_path + u"\\" + name);
        return m_files.back();
    }
    void Write(const std::u16string& path, const std::string& bytes) {
        w32::UniqueHandle h(::CreateFileW(w32::Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ::WriteFile(h.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
    }
    static std::u16string Number(unsigned long n) {
        std::string s = std::to_string(n);
        return std::u16string(s.begin(), s.end());
    }

private:
    static inline int s_count = 0;
    std::u16string m_path;
    std::vector<std::u16string> m_files;
};

std::u16string Profile(const std::u16string& section, const std::u16string& key, const std::u16string& def,
                       DWORD capacity, const std::u16string& file) {
    std::vector<char16_t> buffer(capacity + 1, u'#');
    const DWORD n = nilo::GetPrivateProfileStringW(section, key, def, buffer.data(), capacity, file);
    return std::u16string(buffer.data(), n);
}

// A key under HKEY_CURRENT_USER made for one test and deleted with its values.
class ScratchKey {
public:
    explicit ScratchKey(std::u16string path) : m_path(std::move(path)) {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, w32::Wide(m_path), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr);
    }
    ~ScratchKey() {
        if (m_key) ::RegCloseKey(m_key);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, w32::Wide(m_path));
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    void Set(const std::u16string& name, DWORD type, const std::string& bytes) {
        ::RegSetValueExW(m_key, w32::Wide(name), 0, type, reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size()));
    }
    bool Get(const std::u16string& name, DWORD* type, std::string* bytes) const {
        BYTE data[256];
        DWORD size = sizeof data;
        if (::RegQueryValueExW(m_key, w32::Wide(name), nullptr, type, data, &size) != ERROR_SUCCESS) return false;
        bytes->assign(reinterpret_cast<char*>(data), size);
        return true;
    }

private:
    std::u16string m_path;
    HKEY m_key = nullptr;
};

std::string Utf16Bytes(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) bytes.push_back(char(c & 0xFF)), bytes.push_back(char(c >> 8));
    return bytes + std::string(2, '\0');
}
std::string DwordBytes(uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

}  // namespace

TEST(ProfileStringsReadAsGetPrivateProfileStringW) {
    TempFolder dir;
    const std::u16string ini = dir.File(u"config.ini");
    dir.Write(ini, "[CONFIG]\r\nenable_log=1\r\nserver_url = http://127.0.0.1:5560/authsvl \r\nempty=\r\n[Other]\r\nurl_num=2\r\n");
    struct Case {
        const char16_t *section, *key, *def;
        DWORD capacity;
        std::u16string file, expected;
    };
    const Case cases[] = {
        {u"CONFIG", u"enable_log", u"0", 64, ini, u"1"},
        {u"config", u"ENABLE_LOG", u"0", 64, ini, u"1"},  // names match without regard to case
        {u"CONFIG", u"server_url", u"", 64, ini, u"http://127.0.0.1:5560/authsvl"},
        {u"CONFIG", u"server_url", u"", 8, ini, u"http://"},  // cut to capacity - 1
        {u"CONFIG", u"empty", u"x", 64, ini, u""},
        {u"CONFIG", u"url_num", u"7", 64, ini, u"7"},  // in another section
        {u"CONFIG", u"missing", u"dflt", 64, ini, u"dflt"},
        {u"CONFIG", u"enable_log", u"dflt", 64, dir.File(u"absent.ini"), u"dflt"},
    };
    for (const Case& c : cases) {
        const std::u16string got = Profile(c.section, c.key, c.def, c.capacity, c.file);
        if (got != c.expected) wintest::Fail(__FILE__, __LINE__, "profile " + wintest::Narrow(c.key) + " gave " + wintest::Narrow(got));
    }
}

TEST(RegistryKeysOpenReadAndWrite) {
    const std::u16string path = u"Software\\NiloVOD-Test\\Keys";
    nilo::CRegKey key;
    CHECK_EQ(key.Open(nilo::HKEY::CURRENT_USER, path, KEY_READ), nilo::LONG(2));  // opening never creates
    ScratchKey scratch(path);
    REQUIRE(key.Open(nilo::HKEY::CURRENT_USER, path, KEY_ALL_ACCESS) == 0);

    const std::string text = Utf16Bytes(u"SEAT-07");
    CHECK_EQ(key.SetValue(u"PCName", REG_SZ, reinterpret_cast<const nilo::BYTE*>(text.data()), nilo::DWORD(text.size())), nilo::LONG(0));
    nilo::DWORD type = 0, size = 0;
    CHECK_EQ(key.QueryValue(u"PCName", &type, nullptr, &size), nilo::LONG(0));  // size only
    CHECK_EQ(type, nilo::DWORD(REG_SZ));
    CHECK_EQ(size, nilo::DWORD(text.size()));
    nilo::BYTE small[4];
    size = sizeof small;
    CHECK_EQ(key.QueryValue(u"PCName", &type, small, &size), nilo::LONG(234));  // ERROR_MORE_DATA
    CHECK_EQ(size, nilo::DWORD(text.size()));
    std::vector<nilo::BYTE> data(size);
    CHECK_EQ(key.QueryValue(u"PCName", nullptr, data.data(), &size), nilo::LONG(0));
    CHECK(std::string(data.begin(), data.end()) == text);
    CHECK_EQ(key.QueryValue(u"missing", &type, nullptr, &size), nilo::LONG(2));
}

// The seat identity from the registry: each stored type as the portal gets it.
TEST(RegistryIdentityReadsEveryValueType) {
    ScratchKey client(u"SOFTWARE\\Orvane\\Client");
    struct Case {
        DWORD type;
        std::string bytes;
        std::u16string expected;
    };
    const Case cases[] = {
        {REG_SZ, Utf16Bytes(u"12"), u"12"},
        {REG_EXPAND_SZ, Utf16Bytes(u"%SEAT%"), u"%SEAT%"},  // not expanded
        {REG_MULTI_SZ, Utf16Bytes(u"first") + std::string(2, '\0'), u"first"},
        {REG_DWORD, DwordBytes(7), u"7"},
        {REG_DWORD, DwordBytes(0xFFFFFFFF), u"-1"},
        {REG_BINARY, std::string("\x2A\0\0\0\x55", 5), u"42"},
        {REG_SZ, Utf16Bytes(std::u16string(999, u'x')), std::u16string(999, u'x')},  // larger than 1024 bytes
    };
    client.Set(u"PCName", REG_SZ, Utf16Bytes(u"SEAT-A"));
    for (const Case& c : cases) {
        client.Set(u"PCNo", c.type, c.bytes);
        std::u16string name, number;
        const nilo::DWORD size = nilo::GetStringFromRegistry(name, number);
        if (name != u"SEAT-A" || number != c.expected || size != c.bytes.size())
            wintest::Fail(__FILE__, __LINE__, "PCNo of type " + std::to_string(c.type) + " read as " + wintest::Narrow(number.substr(0, 20)));
    }
}

TEST(BrowserEmulationValueIsWrittenForTheExecutable) {
    const std::u16string path = u"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
    ::RegDeleteKeyW(HKEY_CURRENT_USER, w32::Wide(path));
    // Without the key nothing is written: the kiosk never creates it.
    nilo::ApplyBrowserEmulation(u"Nilo-VOD.exe", u"11.0.9600.19");
    HKEY probe = nullptr;
    CHECK(::RegOpenKeyExW(HKEY_CURRENT_USER, w32::Wide(path), 0, KEY_READ, &probe) == ERROR_FILE_NOT_FOUND);

    ScratchKey key(path);
    struct Case {
        std::u16string version;
        uint32_t expected;
    };
    const Case cases[] = {{u"11.0.9600.19", 11000}, {u"8.0", 8000}, {u"", 7000}, {u"11", 7000}};
    for (const Case& c : cases) {
        nilo::ApplyBrowserEmulation(u"Nilo-VOD.exe", c.version);
        DWORD type = 0;
        std::string bytes;
        CHECK(key.Get(u"Nilo-VOD.exe", &type, &bytes));
        CHECK_EQ(type, DWORD(REG_DWORD));
        CHECK(bytes == DwordBytes(c.expected));
    }
}

TEST(AdapterListFollowsTheSizeProtocol) {
    nilo::ULONG size = 0;
    const nilo::ULONG first = nilo::GetAdaptersInfo(nullptr, &size);
    REQUIRE(first == nilo::ULONG(ERROR_BUFFER_OVERFLOW));  // Wine reports the machine's real adapters
    CHECK(size >= sizeof(nilo::IP_ADAPTER_INFO));
    std::vector<nilo::IP_ADAPTER_INFO> buffer(size / sizeof(nilo::IP_ADAPTER_INFO) + 1);
    REQUIRE(nilo::GetAdaptersInfo(buffer.data(), &size) == 0);

    const char* begin = reinterpret_cast<const char*>(buffer.data());
    const char* end = begin + buffer.size() * sizeof(nilo::IP_ADAPTER_INFO);
    int records = 0;
    std::u16string expectedMac, expectedIp;
    for (const nilo::IP_ADAPTER_INFO* a = buffer.data(); a; a = a->Next) {
        ++records;
        CHECK(reinterpret_cast<const char*>(a) >= begin && reinterpret_cast<const char*>(a) < end);
        CHECK(a->AddressLength <= 8);
        const char* ip = a->IpAddressList.IpAddress;
        CHECK(strnlen(ip, 16) < 16);
        char mac[13];
        std::snprintf(mac, sizeof mac, "%02x%02x%02x%02x%02x%02x", a->Address[0], a->Address[1], a->Address[2],
                      a->Address[3], a->Address[4], a->Address[5]);
        if (expectedMac.empty() && std::strcmp(mac, "000000000000") != 0 && std::strcmp(ip, "0.0.0.0") != 0)
            expectedMac.assign(mac, mac + 12), expectedIp.assign(ip, ip + std::strlen(ip));
    }
    CHECK(records >= 1);
    std::printf("    %d adapter(s); chosen %s %s\n", records, wintest::Narrow(expectedMac).c_str(),
                wintest::Narrow(expectedIp).c_str());

    // One record's room first, as the kiosk asks: a longer list is read again.
    std::u16string ip = u"unset", mac = u"unset";
    CHECK_EQ(nilo::GetHostIdentity(&ip, &mac), expectedMac.empty() ? 0 : 1);
    if (!expectedMac.empty()) {
        CHECK(mac == expectedMac);
        CHECK(ip == expectedIp);
    }
}

TEST(ExclusiveOpenRefusesEveryOtherOpener) {
    TempFolder dir;
    const std::u16string log = dir.File(u"VOD.log");
    CFile holder;
    REQUIRE(holder.Open(log, CFile::modeWrite | CFile::modeCreate | CFile::shareExclusive | CFile::typeBinary));
    CHECK_EQ(holder.Write("line\r\n", 6), size_t(6));

    CFile second;
    nilo::LONG error = 0;
    CHECK(!second.Open(log, CFile::modeWrite | CFile::shareExclusive, &error));
    CHECK_EQ(error, nilo::LONG(ERROR_SHARING_VIOLATION));
    CHECK(!second.Open(log, CFile::modeRead | CFile::shareDenyNone, &error));
    CHECK_EQ(error, nilo::LONG(ERROR_SHARING_VIOLATION));
    w32::UniqueHandle raw(::CreateFileW(w32::Wide(log), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    CHECK(!raw);
    CHECK_EQ(::GetLastError(), DWORD(ERROR_SHARING_VIOLATION));

    holder.Close();
    CHECK(second.Open(log, CFile::modeRead | CFile::shareExclusive, &error));
    CHECK_EQ(second.GetLength(), uint64_t(6));
}

TEST(FileOpenModesAndErrors) {
    TempFolder dir;
    const std::u16string path = dir.File(u"data.bin");
    dir.Write(path, "0123456789");
    struct Case {
        const char* what;
        std::u16string path;
        UINT flags;
        bool opens;
        nilo::LONG error;
        uint64_t length;
    };
    const Case cases[] = {
        {"existing, read", path, CFile::modeRead, true, 0, 10},
        {"create keeps nothing", path, CFile::modeWrite | CFile::modeCreate, true, 0, 0},
        {"missing file", dir.File(u"none.bin"), CFile::modeRead, false, ERROR_FILE_NOT_FOUND, 0},
        {"missing folder", dir.File(u"no\\such\\file.txt"), CFile::modeRead, false, ERROR_PATH_NOT_FOUND, 0},
    };
    for (const Case& c : cases) {
        if (c.what == std::string("create keeps nothing")) dir.Write(path, "0123456789");
        CFile f;
        nilo::LONG error = -1;
        const bool opened = f.Open(c.path, c.flags, &error);
        if (opened != c.opens || (!opened && error != c.error) || (opened && f.GetLength() != c.length))
            wintest::Fail(__FILE__, __LINE__, std::string(c.what) + ": error " + std::to_string(error));
    }
    // No truncation, then append at the end as the log does.
    CFile f;
    REQUIRE(f.Open(path, CFile::modeWrite | CFile::modeCreate | CFile::modeNoTruncate));
    CHECK_EQ(f.SeekToEnd(), f.GetLength());
    CHECK(f.SetLength(3));
    CHECK_EQ(f.GetLength(), uint64_t(3));
    CHECK(CFile::Exists(path));
    CHECK(!CFile::Exists(dir.File(u"none.txt")));
}

// The certification file is written by another program on the seat; while
// that program holds it open, the kiosk's open fails with a sharing violation
// and the new content is not taken.
TEST(CertificationFileHeldByAnotherProcess) {
    TempFolder dir;
    const std::u16string cert = dir.File(u"connect_certify.txt");
    dir.Write(cert, "T1,kim01,M,25");

    nilo::CMORAVEL_PLAYERDlg dlg;
    dlg.m_strCertifyFilePath = cert;
    CHECK_EQ(dlg.ReadCertifyFile(), 1);
    CHECK(dlg.m_strId == u"kim01");
    dir.Write(cert, "T2,lee02,F,31");

    const std::u16string tag = TempFolder::Number(::GetCurrentProcessId());
    const std::u16string readyName = u"nilo-test-ready-" + tag, releaseName = u"nilo-test-release-" + tag;
    w32::UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, w32::Wide(readyName)));
    w32::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, w32::Wide(releaseName)));
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::u16string command = u"\"" + w32::Utf16(self) + u"\" --hold \"" + cert + u"\" " + readyName + u" " + releaseName;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    REQUIRE(::CreateProcessW(nullptr, const_cast<wchar_t*>(w32::Wide(command)), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &pi));
    w32::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    // A limit only so that a broken helper cannot hang the run.
    REQUIRE(::WaitForSingleObject(ready.Get(), 30000) == WAIT_OBJECT_0);

    CFile file;
    nilo::LONG error = 0;
    CHECK(!file.Open(cert, CFile::modeRead | CFile::shareExclusive | CFile::typeBinary, &error));
    CHECK_EQ(error, nilo::LONG(ERROR_SHARING_VIOLATION));
    dlg.ReadCertifyFile();
    CHECK(dlg.m_strId != u"lee02");

    ::SetEvent(release.Get());
    ::WaitForSingleObject(process.Get(), 30000);
    CHECK_EQ(dlg.ReadCertifyFile(), 1);
    CHECK(dlg.m_strLTime == u"T2" && dlg.m_strId == u"lee02" && dlg.m_strGender == u"F" && dlg.m_strAge == u"31");
}

TEST(CodePagesRoundTrip) {
    struct Case {
        nilo::UINT codePage;
        std::u16string text;
        std::string bytes;
    };
    const Case cases[] = {
        {949, u"\uD55C\uAE00 T1", "\xC7\xD1\xB1\xDB T1"},
        {1252, u"caf\u00E9 \u20AC", "caf\xE9 \x80"},
    };
    for (const Case& c : cases) {
        CHECK(nilo::ToAnsi(c.text, c.codePage) == c.bytes);
        CHECK(nilo::FromAnsi(c.bytes, c.codePage) == c.text);
        // CP_ACP and CP_THREAD_ACP follow SetACP in our own conversions.
        nilo::SetACP(c.codePage);
        CHECK_EQ(nilo::GetACP(), c.codePage);
        CHECK(nilo::ToAnsi(c.text, CP_ACP) == c.bytes);
        CHECK(nilo::FromAnsi(c.bytes, CP_THREAD_ACP) == c.text);
        // The size protocol: a length query, then a buffer too small.
        const int needed = nilo::MultiByteToWideChar(CP_ACP, 0, c.bytes.c_str(), -1, nullptr, 0);
        CHECK_EQ(needed, int(c.text.size() + 1));
        char16_t tooSmall[2];
        CHECK_EQ(nilo::MultiByteToWideChar(CP_ACP, 0, c.bytes.c_str(), -1, tooSmall, 2), 0);
        CHECK_EQ(::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    }
    nilo::SetACP(CP_THREAD_ACP);
    CHECK_EQ(nilo::GetACP(), nilo::UINT(::GetACP()));
}

TEST(OperatingSystemFacts) {
    nilo::OSVERSIONINFOW version;
    CHECK(nilo::GetVersionExW(&version));
    CHECK(version.dwMajorVersion >= 5);
    nilo::OSVERSIONINFOW wrongSize;
    wrongSize.dwOSVersionInfoSize = 148;
    CHECK(!nilo::GetVersionExW(&wrongSize));
    nilo::GetNativeSystemInfoFn native = nilo::FindGetNativeSystemInfo();
    REQUIRE(native != nullptr);
    nilo::SYSTEM_INFO info;
    info.wProcessorArchitecture = 0xEEEE;
    native(&info);
    CHECK(info.wProcessorArchitecture != 0xEEEE);
    CHECK_EQ(nilo::IsWindows64Bit(), sizeof(void*) == 8 || info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64);

    const std::u16string module = nilo::GetModuleFileName(1024);
    CHECK(module.size() > 4 && module.compare(module.size() - 4, 4, u".exe") == 0);
    CHECK_EQ(nilo::GetModuleFileName(4).size(), size_t(3));
    CHECK(!nilo::FormatSystemMessage(ERROR_FILE_NOT_FOUND, 0x0800).empty());
    CHECK(!nilo::FormatSystemMessage(0x80020006, 0x0800).empty());  // DISP_E_UNKNOWNNAME
}
