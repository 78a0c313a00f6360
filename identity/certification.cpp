#include "identity/certification.h"

#include "app/MORAVEL_PLAYERDlg.h"
#include "app/event_log.h"
#include "app/wide_text.h"
#include "platform/registry.h"
#include "platform/system.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace nilo {

namespace {
constexpr size_t kCertifyReadSize = 256;
constexpr size_t kCertifyFieldChars = 49;
constexpr DWORD kRegistryBufferSize = 1024;
const std::u16string kClientKey = u"SOFTWARE\\Orvane\\Client";

struct SystemFacts {
    DWORD major = 0, minor = 0;
    WORD architecture = PROCESSOR_ARCHITECTURE_INTEL;
};

SystemFacts ReadSystemFacts() {
    SystemFacts facts;
    OSVERSIONINFOW version;
    version.dwOSVersionInfoSize = 276;
    if (GetVersionExW(&version)) facts.major = version.dwMajorVersion, facts.minor = version.dwMinorVersion;
    SYSTEM_INFO info;
    if (GetNativeSystemInfoFn native = FindGetNativeSystemInfo()) native(&info);
    else GetSystemInfo(&info);
    facts.architecture = info.wProcessorArchitecture;
    return facts;
}

bool IsVersionWith64BitEditions(const SystemFacts& f) { return f.major >= 6 || (f.major == 5 && f.minor == 2); }

bool Is64BitArchitecture(const SystemFacts& f) {
    return f.architecture == PROCESSOR_ARCHITECTURE_IA64 || f.architecture == PROCESSOR_ARCHITECTURE_AMD64;
}

// A certification field in wide characters, cut to the room the portal's
// fields have.
std::u16string CertifyField(const std::string& bytes) {
    if (bytes.empty()) return {};
    std::u16string text = FromAnsi(bytes, CP_THREAD_ACP);
    if (text.size() > kCertifyFieldChars) {
        size_t cut = kCertifyFieldChars;
        if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;  // keep a surrogate pair whole
        text.resize(cut);
    }
    return text;
}
}  // namespace

bool IsWindows64Bit() {
    SystemFacts facts = ReadSystemFacts();
    return IsVersionWith64BitEditions(facts) && Is64BitArchitecture(facts);
}

int Is64bitSystem() {
    SystemFacts facts = ReadSystemFacts();
    WriteLog(u"[Is64bitSystem()] OS Version = major(" + DecimalText(facts.major) + u").minor(" +
             DecimalText(facts.minor) + u")");
    int result = 0;
    if (IsVersionWith64BitEditions(facts) && Is64BitArchitecture(facts)) {
        WriteLog(u"[Is64bitSystem()] PROCESSOR_ARCHITECTURE_IA64 == si.wProcessorArchitecture");
        result = 1;
    }
    WriteLog(u"[Is64bitSystem()] ret = " + DecimalText(result));
    return result;
}

std::u16string RegistryValueText(DWORD type, const BYTE* data, DWORD size) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        std::u16string text;
        for (DWORD i = 0; i + 1 < size; i += 2) {
            char16_t c = char16_t(data[i] | (data[i + 1] << 8));
            if (c == 0) break;
            text.push_back(c);
        }
        return text;
    }
    BYTE bytes[4] = {0, 0, 0, 0};
    std::memcpy(bytes, data, std::min<DWORD>(size, 4));
    uint32_t raw = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    return DecimalText(int32_t(raw));
}

DWORD GetStringFromRegistry(std::u16string& pcName, std::u16string& pcNo) {
    REGSAM sam = KEY_QUERY_VALUE;
    if (Is64bitSystem() == 1) {
        WriteLog(u"[LICENSE] USE 64Bit Flag ");
        sam |= KEY_WOW64_64KEY;
    }
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kClientKey, sam) != ERROR_SUCCESS) {
        WriteLog(u"[GetStringFromRegistry] CAN'T FIND SUB KEY ");
        WriteLog(kClientKey);
        WriteLog(DecimalText(GetLastError()));
        return 0;
    }

    DWORD type = 0, size = 0;
    if (key.QueryValue(u"PCName", &type, nullptr, &size) != ERROR_SUCCESS) return 0;
    std::vector<BYTE> buffer(kRegistryBufferSize, 0);
    size = kRegistryBufferSize;
    if (key.QueryValue(u"PCName", &type, buffer.data(), &size) != ERROR_SUCCESS) return 0;
    pcName = RegistryValueText(type, buffer.data(), size);

    size = 0;
    if (key.QueryValue(u"PCNo", &type, nullptr, &size) != ERROR_SUCCESS) return 0;
    if (size > kRegistryBufferSize) buffer.resize(size);
    std::fill(buffer.begin(), buffer.end(), 0);
    if (key.QueryValue(u"PCNo", &type, buffer.data(), &size) != ERROR_SUCCESS) return 0;
    pcNo = RegistryValueText(type, buffer.data(), size);
    return size;
}

CertifyRecord CutCertifyRecord(const std::string& text) {
    std::string record = text;
    if (record.size() >= 2 && record.compare(record.size() - 2, 2, "\r\n") == 0) record.resize(record.size() - 2);
    else if (!record.empty() && record.back() == '\n') record.pop_back();

    CertifyRecord cut;
    size_t cursor = 0;
    for (int i = 0; i < 3; ++i) {
        size_t comma = record.find(',', cursor);
        if (comma == std::string::npos) continue;  // this field stays empty; the cursor stays
        cut.fields[i] = record.substr(cursor, comma - cursor);
        cursor = comma + 1;
    }
    cut.fields[3] = record.substr(cursor);
    return cut;
}

int CMORAVEL_PLAYERDlg::ReadCertifyFile() {
    CFile file;
    LONG error = ERROR_SUCCESS;
    if (!file.Open(m_strCertifyFilePath, CFile::modeRead | CFile::shareExclusive | CFile::typeBinary, &error)) {
        // The seat's login program is rewriting the file this moment: no
        // change, so a playing video is not cut off.
        if (error == ERROR_SHARING_VIOLATION) return 0;
        m_strLTime.clear();
        m_strId.clear();
        m_strGender.clear();
        m_strAge.clear();
        return 1;
    }
    char bytes[kCertifyReadSize + 1] = {};
    file.Read(bytes, kCertifyReadSize);
    file.Close();

    const CertifyRecord record = CutCertifyRecord(std::string(bytes));  // the text ends at the first NUL
    const std::u16string id = CertifyField(record.fields[1]);
    if (id == m_strId) return 0;
    m_strLTime = CertifyField(record.fields[0]);
    m_strId = id;
    m_strGender = CertifyField(record.fields[2]);
    m_strAge = CertifyField(record.fields[3]);
    return 1;
}

DWORD CMORAVEL_PLAYERDlg::ReadRegistryIdentity() {
    m_strPcName.clear();
    m_strPcNo.clear();
    return GetStringFromRegistry(m_strPcName, m_strPcNo);
}

}  // namespace nilo
